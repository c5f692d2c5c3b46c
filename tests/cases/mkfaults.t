mktinyfs when the file system, the kernel or the user gets in the way; strace plays each part (the sanitizers'
leak check cannot run under it). Where the file system cannot make unnamed files, the image is built under a
name no file has yet (catches a failed run)...

  $ export ASAN_OPTIONS=detect_leaks=0; printf 123456789 >nine; mkdir fs && cd fs && nameless() { strace \
  >   -o /dev/null -P "$PWD" -e inject=openat:error=EOPNOTSUPP:when=1 "$@"; }
  > nameless sh -c ': >img.$$-0.tmp; exec mktinyfs img a=../nine'; brellix -d img -l | tail -n 1
  a                    | 9 bytes          | 100% growable (8601591 bytes left)

...and one left behind by a killed run stays as it was (catches a leftover overwritten).

  $ ls fs
  img
  img.\d+-0.tmp (re)

SIGINT, SIGTERM and SIGHUP at that moment end the run by the signal (catches a run that goes on); each run
gets the default action of its signal whatever the test runner ignores.

  $ export ASAN_OPTIONS=detect_leaks=0
  > mkdir sig && cd sig && mktinyfs img a=../nine && cp img img.0 && signalled() { env --default-signal="$2" \
  >   strace -o /dev/null -P "$PWD" -e inject=openat:error=EOPNOTSUPP:when=1 \
  >   -e inject=newfstatat,statx:signal="$1":when=2 \
  >   mktinyfs img b= 2>&3; }; declare -f signalled >../signalled
  > for signal in INT TERM HUP; do
  >   (signalled SIG$signal $signal; echo "SIG$signal: $?") 3>&2 2>/dev/null; done
  SIGINT: 130
  SIGTERM: 143
  SIGHUP: 129

They remove the named file and leave OUTPUT as it was (catches a leftover half image).

  $ cd sig && cmp img img.0 && ls
  img
  img.0

Under nohup, SIGHUP stays ignored and the image is made...

  $ export ASAN_OPTIONS=detect_leaks=0; cd sig && . ../signalled &&
  >   (trap '' HUP; signalled SIGHUP INT) 3>&2 && brellix -d img -l | tail -n 1
  b                    | 0 bytes          | 100% growable (8601600 bytes left)

...with no temporary file left.

  $ ls sig
  img
  img.0

Without /proc, the unnamed image gets its name through its descriptor; a name taken meanwhile is passed over
(catches a run that fails in a container or on a stale name).

  $ export ASAN_OPTIONS=detect_leaks=0
  > mkdir proc && cd proc && for harm in error=ENOENT error=EEXIST; do strace -o /dev/null \
  >   -e inject=linkat:$harm:when=1 mktinyfs img a=../nine &&
  >   echo "$harm: $(brellix -d img -l | tail -n 1)"; done
  error=ENOENT: a                    | 9 bytes          | 100% growable (8601591 bytes left)
  error=EEXIST: a                    | 9 bytes          | 100% growable (8601591 bytes left)

Neither leaves a temporary file.

  $ ls proc
  img

When the image cannot be named or put in place, or no temporary file can be made (a read-only folder), the
run fails...

  $ export ASAN_OPTIONS=detect_leaks=0; mkdir end && cd end && mktinyfs img a=../nine && cp img img.0 &&
  >   refused 'strace -o /dev/null' '-e inject=linkat:error=ENOSPC mktinyfs img b=../nine' \
  >   '-e inject=renameat:error=EROFS mktinyfs img b=../nine' \
  >   '-P "$PWD" -e inject=openat:error=EROFS mktinyfs img b=../nine'
  ! $ strace -o /dev/null -e inject=linkat:error=ENOSPC mktinyfs img b=../nine
  ! mktinyfs: cannot replace "img": No space left on device
  ! $ strace -o /dev/null -e inject=renameat:error=EROFS mktinyfs img b=../nine
  ! mktinyfs: cannot replace "img": Read-only file system
  ! $ strace -o /dev/null -P "$PWD" -e inject=openat:error=EROFS mktinyfs img b=../nine
  ! mktinyfs: cannot create a temporary file beside "img": Read-only file system

...and leaves OUTPUT and the folder as they were (catches a temporary file left behind).

  $ cd end && cmp img img.0 && ls
  img
  img.0

A folder made at OUTPUT while the inputs are read (here, before the input's bytes come) is not replaced
(catches a check made only at the start)...

  $ mkdir late && cd late && mkfifo fifo; (mkdir img; echo x) >fifo & mktinyfs img a=fifo; wait; test -d img
  ! mktinyfs: cannot replace "img": Is a directory

...nor is a FIFO (which a rename would put the image over).

  $ cd late && rmdir img; (mkfifo img; echo x) >fifo & mktinyfs img a=fifo; wait; test -p img
  ! mktinyfs: OUTPUT "img" is a FIFO, not a regular file

Neither leaves a temporary file.

  $ cd late && rm img && ls
  fifo

OUTPUT is refused before anything is read when it cannot be an image file: a socket, a link loop, a name
ending in a slash, a missing folder (catches the socket replaced by a file, or an image made elsewhere than
named).

  $ python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("sock")'; ln -s loop loop
  > refused mktinyfs 'sock a=' 'loop a=' 'new/ a=' 'no/img a='
  ! $ mktinyfs sock a=
  ! mktinyfs: OUTPUT "sock" is a socket, not a regular file
  ! $ mktinyfs loop a=
  ! mktinyfs: cannot replace "loop": (Too many levels of symbolic links|Symbolic link loop) (re)
  ! $ mktinyfs new/ a=
  ! mktinyfs: cannot replace "new/": Is a directory
  ! $ mktinyfs no/img a=
  ! mktinyfs: cannot create a temporary file beside "no/img": No such file or directory

An image that cannot be read, or that shrinks or fails while taken apart, fails the extraction, naming it
(catches a short read taken for contents, which would put wrong bytes in the files and the manifest).

  $ export ASAN_OPTIONS=detect_leaks=0; mktinyfs img a=nine; refused '' 'mktinyfs --extract nothere x' \
  >   'strace -o /dev/null -P "$PWD/img" -e inject=pread64:retval=0:when=3 mktinyfs --extract img x1' \
  >   'strace -o /dev/null -P "$PWD/img" -e inject=pread64:error=EIO mktinyfs --extract img x2'
  ! $ mktinyfs --extract nothere x
  ! mktinyfs: cannot read "nothere": No such file or directory
  ! $ strace -o /dev/null -P "$PWD/img" -e inject=pread64:retval=0:when=3 mktinyfs --extract img x1
  ! mktinyfs: cannot read "img": (Input/output|I/O) error (re)
  ! $ strace -o /dev/null -P "$PWD/img" -e inject=pread64:error=EIO mktinyfs --extract img x2
  ! mktinyfs: cannot read "img": (Input/output|I/O) error (re)

A block device is refused as OUTPUT too (catches the device replaced by a file); only root can make one.

  $ mknod blk b 7 255 2>/dev/null || skip root and mknod; mktinyfs blk a=
  ! mktinyfs: OUTPUT "blk" is a block device, not a regular file
  [1]
