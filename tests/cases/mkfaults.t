mktinyfs when the file system, the kernel or the user gets in the way; strace plays each part (the sanitizers' leak
check cannot run under it). Where the file system cannot make unnamed files, the image is built under a name no
file has yet: one left behind by a killed run stays as it was (catches a leftover overwritten, or a failed run).

  $ export ASAN_OPTIONS=detect_leaks=0; printf 123456789 >nine; mkdir fs && cd fs && nameless() { strace -o /dev/null \
  >   -P "$PWD" -e inject=openat:error=EOPNOTSUPP:when=1 "$@"; }; nameless sh -c ': >img.$$-0.tmp; exec mktinyfs img a=../nine'
  > brellix -d img -l | tail -n 1; ls
  a                    | 9 bytes          | 100% growable (8601591 bytes left)
  img
  img.\d+-0.tmp (re)

SIGINT, SIGTERM and SIGHUP at that moment remove the named file and end the run by the signal, OUTPUT as it was
(catches a leftover half image, or a run that goes on); under nohup, SIGHUP stays ignored and the image is made.
Each run gets the default action of its signal whatever the test runner ignores.

  $ export ASAN_OPTIONS=detect_leaks=0
  > mkdir sig && cd sig && mktinyfs img a=../nine && cp img img.0 && signalled() { env --default-signal="$2" strace -o /dev/null \
  >   -P "$PWD" -e inject=openat:error=EOPNOTSUPP:when=1 -e inject=newfstatat,statx:signal="$1":when=2 mktinyfs img b= 2>&3; }
  > for signal in INT TERM HUP; do (signalled SIG$signal $signal; echo $?) 3>&2 2>/dev/null; done; cmp img img.0 && ls
  > (trap '' HUP; signalled SIGHUP INT) 3>&2 && brellix -d img -l | tail -n 1 && ls
  130
  143
  129
  img
  img.0
  b                    | 0 bytes          | 100% growable (8601600 bytes left)
  img
  img.0

Without /proc, the unnamed image gets its name through its descriptor; a name taken meanwhile is passed over
(catches a run that fails in a container or on a stale name).

  $ export ASAN_OPTIONS=detect_leaks=0
  > mkdir proc && cd proc && for harm in error=ENOENT error=EEXIST; do strace -o /dev/null -e inject=linkat:$harm:when=1 \
  >   mktinyfs img a=../nine && brellix -d img -l | tail -n 1; done; ls
  a                    | 9 bytes          | 100% growable (8601591 bytes left)
  a                    | 9 bytes          | 100% growable (8601591 bytes left)
  img

When the image cannot be named or put in place, or no temporary file can be made (a read-only folder), the run
fails and leaves OUTPUT and the folder as they were (catches a temporary file left behind).

  $ export ASAN_OPTIONS=detect_leaks=0
  > mkdir end && cd end && mktinyfs img a=../nine && cp img img.0
  > strace -o /dev/null -e inject=linkat:error=ENOSPC mktinyfs img b=../nine
  > strace -o /dev/null -e inject=renameat:error=EROFS mktinyfs img b=../nine
  > strace -o /dev/null -P "$PWD" -e inject=openat:error=EROFS mktinyfs img b=../nine; cmp img img.0 && ls
  img
  img.0
  ! mktinyfs: cannot replace "img": No space left on device
  ! mktinyfs: cannot replace "img": Read-only file system
  ! mktinyfs: cannot create a temporary file beside "img": Read-only file system

A folder or FIFO made at OUTPUT while the inputs are read (here, before the input's bytes come) is not replaced
(catches a check made only at the start, which would rename the image over the FIFO).

  $ mkdir late && cd late && mkfifo fifo && for make in mkdir mkfifo; do ($make img; echo x) >fifo & mktinyfs img a=fifo
  >   wait; stat -c %F img && rm -r img; done; ls
  directory
  fifo
  fifo
  ! mktinyfs: cannot replace "img": Is a directory
  ! mktinyfs: OUTPUT "img" is a FIFO, not a regular file

OUTPUT is refused before anything is read when it cannot be an image file: a block device (made as root only), a
socket, a link loop, a name ending in a slash, a missing folder (catches the device or socket replaced by a
file, or an image made elsewhere than named).

  $ python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("sock")'; ln -s loop loop
  > for out in blk sock loop new/ no/img; do [ $out = blk ] && ! mknod blk b 7 255 2>/dev/null &&
  >   echo 'mktinyfs: OUTPUT "blk" is a block device, not a regular file' >&2 || mktinyfs $out a=; done
  ! mktinyfs: OUTPUT "blk" is a block device, not a regular file
  ! mktinyfs: OUTPUT "sock" is a socket, not a regular file
  ! mktinyfs: cannot replace "loop": (Too many levels of symbolic links|Symbolic link loop) (re)
  ! mktinyfs: cannot replace "new/": Is a directory
  ! mktinyfs: cannot create a temporary file beside "no/img": No such file or directory
  [1]

An image that cannot be read, or that shrinks or fails while taken apart, fails the extraction, naming it (catches
a short read taken for contents, which would put wrong bytes in the files and the manifest).

  $ export ASAN_OPTIONS=detect_leaks=0
  > mktinyfs img a=nine; mktinyfs --extract nothere x; for harm in retval=0:when=3 error=EIO; do
  >   strace -o /dev/null -P "$PWD/img" -e inject=pread64:$harm mktinyfs --extract img "$harm"; done
  ! mktinyfs: cannot read "nothere": No such file or directory
  ! mktinyfs: cannot read "img": (Input/output|I/O) error (re)
  ! mktinyfs: cannot read "img": (Input/output|I/O) error (re)
  [1]
