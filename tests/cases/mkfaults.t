mktinyfs when the system gets in the way, played by strace; without unnamed files a new name is used.

  $ printf 123456789 >nine; mkdir fs && cd fs && fault @"$PWD" open:error=EOPNOTSUPP:when=1 -- \
  >   sh -c ': >img.$$-0.tmp; exec mktinyfs img a=../nine'; brellix -d img -l | tail -n 1; ls
  a                    | 9 bytes          | 100% growable (8601591 bytes left)
  img
  img.\d+-0.tmp (re)

Every signal that ends a run from outside ends it while the file is written, at its default action.

  $ mkdir sig && cd sig && mktinyfs img a=../nine && cp img img.0 && signalled() { ulimit -c 0; fault \
  >   @"$PWD" @"${PWD%/*}/nine" open:error=EOPNOTSUPP:when=1 read:signal="$1":when=1 -- env \
  >   --default-signal${2:+=$2} mktinyfs img b=../nine; }
  > declare -f signalled >../signalled; for signal in INT TERM HUP QUIT USR1 XCPU PIPE RT_5; do
  >   (signalled SIG$signal; echo "SIG$signal: $?") 2>/dev/null; done
  SIGINT: 130
  SIGTERM: 143
  SIGHUP: 129
  SIGQUIT: 131
  SIGUSR1: 138
  SIGXCPU: 152
  SIGPIPE: 141
  SIGRT_5: 165

They remove the named file and leave OUTPUT as it was (catches a leftover half image).

  $ cd sig && cmp img img.0 && ls
  img
  img.0

Under nohup, SIGHUP stays ignored and the image is made, with no temporary file left.

  $ cd sig && . ../signalled &&
  >   (trap '' HUP; signalled SIGHUP INT) && brellix -d img -l | tail -n 1 && ls
  b                    | 9 bytes          | 100% growable (8601591 bytes left)
  img
  img.0

Without /proc the unnamed image is named through its descriptor, passing a name taken; no temporary left.

  $ mkdir proc && cd proc && for harm in ENOENT EEXIST; do rm -f img; fault link:error=$harm:when=1 -- \
  >   mktinyfs img a=../nine && echo "$harm: $(brellix -d img -l | tail -n 1)"; done; ls
  ENOENT: a                    | 9 bytes          | 100% growable (8601591 bytes left)
  EEXIST: a                    | 9 bytes          | 100% growable (8601591 bytes left)
  img

A new OUTPUT is the unnamed image's first name, so a kill leaves nothing; over an old one, the temporary.

  $ mkdir kill && cd kill && mktinyfs old a=../nine && for c in link rename; do (fault $c:signal=SIGKILL -- \
  >   mktinyfs $c a=../nine; fault $c:signal=SIGKILL -- mktinyfs old b=../nine) 2>/dev/null; done; ls
  old
  old.\d+-0.tmp (re)
  rename

SIGTERM at the naming or the rename is held until the image is in place and durable (catches status 143).

  $ cd kill && rm old.*.tmp && faults 'mktinyfs new c=../nine' link:signal=SIGTERM &&
  >   faults 'mktinyfs old c=../nine' rename:signal=SIGTERM; brellix -q -d new -c && cmp new old && echo $(ls)
  new old rename
  ! link:signal=SIGTERM: mktinyfs: interrupted by SIGTERM: the new image "new" was put in place first
  ! rename:signal=SIGTERM: mktinyfs: interrupted by SIGTERM: the new image "old" was put in place first

Past a file-size limit a build and an extraction fail as on a full disk (catches death by SIGXFSZ).

  $ mkdir lim && cd lim && seq 3000 >big && mktinyfs img a=big && cp img img.0 &&
  >   (ulimit -f 8; refused mktinyfs 'img b=big' '--extract img x'); cmp img img.0 &&
  >   echo $(ls) / $(ls x) $(wc -c <x/0001-a)
  big img img.0 x / 0001-a 8192
  ! img b=big: mktinyfs: cannot write "img": File too large
  ! --extract img x: mktinyfs: cannot write "x/0001-a": File too large

When the image cannot be named, made, looked at or given its mode, the run fails; OUTPUT and folder stay.

  $ mkdir end && cd end && mktinyfs img a=../nine && cp img img.0 && faults 'mktinyfs img b=../nine' \
  >   rename:error=EROFS '@. open:error=EROFS' link:error=EEXIST link:error=ENOENT '@. open:error=EEXIST' \
  >   chmod:error=EPERM && faults 'mktinyfs new b=../nine' link:error=ENOSPC '@. stat:error=EACCES'
  > cmp img img.0 && ls
  img
  img.0
  ! rename:error=EROFS: mktinyfs: cannot replace "img": Read-only file system
  ! @. open:error=EROFS: mktinyfs: cannot create a temporary file beside "img": Read-only file system
  ! link:error=EEXIST: mktinyfs: cannot replace "img": File exists
  ! link:error=ENOENT: mktinyfs: cannot replace "img": No such file or directory
  ! @. open:error=EEXIST: mktinyfs: cannot create a temporary file beside "img": File exists
  ! chmod:error=EPERM: mktinyfs: cannot write "img": Operation not permitted
  ! link:error=ENOSPC: mktinyfs: cannot replace "new": No space left on device
  ! @. stat:error=EACCES: mktinyfs: cannot replace "new": Permission denied

A folder made at OUTPUT while the inputs are read is not replaced (catches a check made only at the start)...

  $ mkdir late && cd late && mkfifo fifo; (mkdir img; echo x) >fifo & mktinyfs img a=fifo; wait; test -d img
  ! mktinyfs: cannot replace "img": Is a directory

...nor is a FIFO (which a rename would put the image over); neither leaves a temporary file.

  $ cd late && rmdir img; (mkfifo img; echo x) >fifo & mktinyfs img a=fifo; wait; test -p img && rm img && ls
  fifo
  ! mktinyfs: OUTPUT "img" is a FIFO, not a regular file

OUTPUT that cannot be an image is refused before any read: a socket, a loop, "x/", ".", "..", no folder.

  $ python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("sock")'; ln -s loop loop
  > refused mktinyfs 'sock a=' 'loop a=' 'new/ a=' 'no/. a=' 'no/.. a=' 'no/img a='
  ! sock a=: mktinyfs: OUTPUT "sock" is a socket, not a regular file
  ! loop a=: mktinyfs: cannot replace "loop": (Too many levels of symbolic links|Symbolic link loop) (re)
  ! new/ a=: mktinyfs: cannot replace "new/": Is a directory
  ! no/. a=: mktinyfs: cannot replace "no/.": Is a directory
  ! no/.. a=: mktinyfs: cannot replace "no/..": Is a directory
  ! no/img a=: mktinyfs: cannot create a temporary file beside "no/img": No such file or directory

An image that cannot be read, or that shrinks or fails while taken apart, fails the extraction, naming it.

  $ mktinyfs img a=nine; refused mktinyfs '--extract nothere x'
  > faults 'mktinyfs --extract img x' '@img read:retval=0:when=3' '@img read:error=EIO'
  ! --extract nothere x: mktinyfs: cannot read "nothere": No such file or directory
  ! @img read:retval=0:when=3: mktinyfs: cannot read "img": (Input/output|I/O) error (re)
  ! @img read:error=EIO: mktinyfs: cannot read "img": (Input/output|I/O) error (re)

An unlistable folder, a file not made, closed or synced, or an unsynced folder fail --extract: no manifest.

  $ refused 'fault' '@e1 dup:error=EMFILE -- mktinyfs --extract img e1' \
  >   '@e0 control:error=EBADF -- mktinyfs --extract img e0' \
  >   '@e2 open:error=EACCES -- mktinyfs --extract img e2' \
  >   '@e3/0001-a close:error=ENOSPC -- mktinyfs --extract img e3' \
  >   'sync:error=ENOSPC:when=1 -- mktinyfs --extract img e4' \
  >   'syncfs:error=ENOSPC -- mktinyfs --extract img e8' 'rename:error=EEXIST -- mktinyfs --extract img e5' \
  >   'sync:error=ENOSPC:when=2 -- mktinyfs --extract img f6' >/dev/null; echo $(find e? -type f | sort)
  e3/0001-a e4/0001-a e5/0001-a e8/0001-a
  ! @e1 dup:error=EMFILE -- mktinyfs --extract img e1: mktinyfs: cannot open the folder "e1": (Too many open \
  !   files|No file descriptors available) (re)
  ! @e0 control:error=EBADF -- mktinyfs --extract img e0: mktinyfs: cannot open the folder "e0": Bad file \
  !   descriptor
  ! @e2 open:error=EACCES -- mktinyfs --extract img e2: mktinyfs: cannot write "e2/0001-a": Permission denied
  ! @e3/0001-a close:error=ENOSPC -- mktinyfs --extract img e3: mktinyfs: cannot write "e3/0001-a": No space \
  !   left on device
  ! sync:error=ENOSPC:when=1 -- mktinyfs --extract img e4: mktinyfs: cannot write "e4/manifest": No space \
  !   left on device
  ! syncfs:error=ENOSPC -- mktinyfs --extract img e8: mktinyfs: cannot write "e8/manifest": No space left on \
  !   device
  ! rename:error=EEXIST -- mktinyfs --extract img e5: mktinyfs: cannot write "e5/manifest": File exists
  ! sync:error=ENOSPC:when=2 -- mktinyfs --extract img f6: mktinyfs: the manifest "f6/manifest" is in place, \
  !   but its folder cannot be synced: No space left on device

A kernel or file system that cannot rename without replacing gets a plain rename.

  $ for e in EINVAL ENOSYS; do fault noreplace:error=$e:when=1 -- mktinyfs --extract img $e >/dev/null &&
  >   echo $(ls $e); done
  0001-a manifest
  0001-a manifest

A block device is refused as OUTPUT too (catches the device replaced by a file); only root can make one.

  $ mknod blk b 7 255 2>/dev/null || skip root and mknod; mktinyfs blk a=
  ! mktinyfs: OUTPUT "blk" is a block device, not a regular file
  [1]
