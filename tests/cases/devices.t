Other names of the device (root, a loop device). N: the lock file name; NOBODY: an account of no standing.

  $ printf 1 >x; printf 22 >y; mkimg a=x b=y; [ $(id -u) = 0 ] && losetup -f --show img >L &&
  >   mknod alias b $(stat -c '0x%t 0x%T' $(<L)) || skip root and losetup
  > stat -c brellix-blk-%Hr-%Lr.lock $(<L) >N
  > echo 'setpriv --reuid=nobody --regid=nogroup --clear-groups' >NOBODY

The flash is never the local file nor stdout: no block device, no image behind the loop device, no other node.

  $ refused brellix '-q -d img -r a $(<L)' '-q -d $(<L) -r a img' '-q -d $(<L) -l 1<>img' \
  >   '-q -d alias -l 1<>$(<L)' '-q -d img -l 1<>$(<L)'; unchanged
  ! -q -d img -r a \$\(<L\): Fatal: local file is a block device \(/dev/loop\d+\) (re)
  ! -q -d $(<L) -r a img: Fatal: local file is the device itself (img)
  ! -q -d \$\(<L\) -l 1<>img: Fatal: standard output is the device itself \(/dev/loop\d+\) (re)
  ! -q -d alias -l 1<>$(<L): Fatal: standard output is the device itself (alias)
  ! -q -d img -l 1<>$(<L): Fatal: standard output is a block device

A failed --exists on a device node removes its lock file, then closes both openings of the device.

  $ traced close,unlink brellix -q -d $(<L) -e none; grep -E '^\w+\([0-9]+</dev/loop|\.lock"' log
  \w+\(.*\.lock".* = 0 (re)
  \w+\(\d+</dev/loop\d+>\) += 0 (re)
  \w+\(\d+</dev/loop\d+>\) += 0 (re)

Another file beside the image is not the image: standard output there is taken.

  $ brellix -d $(<L) -l >out && wc -l <out
  3

A loop device that cannot say which file it shows (strace fails the asking) may show any: none is stdout.

  $ for harm in open:error=EIO ioctl:error=EIO:when=1; do fault @$(<L) $harm -- brellix -q -d $(<L) -l >out
  > done
  ! Fatal: standard output is the device itself \(/dev/loop\d+\) (re)
  ! Fatal: standard output is the device itself \(/dev/loop\d+\) (re)
  [1]

Another account's folder and link under the old lock names leave two nodes of one device excluding each other.

  $ trap 'rm -rf /run/lock/$(<N) /tmp/$(<N)' EXIT
  > $(<NOBODY) mkdir /run/lock/$(<N); $(<NOBODY) ln -s x /tmp/$(<N)
  > fault @$(<L) read:delay_exit=400000 -- brellix -q -d $(<L) -w a y & sleep 0.3
  > brellix -q -d alias -w b x; wait; brellix -q -d alias -rs a; brellix -q -d alias -rs b
  221 (no-eol)

A lock file another account made and holds under the old name does not lock root out.

  $ trap 'rm -f /run/lock/$(<N)' EXIT; coproc $(<NOBODY) flock /run/lock/$(<N) -c 'echo; exec cat'
  > read -u ${COPROC[0]}; brellix -q -d alias -rs a
  22 (no-eol)

An untrusted lock directory is refused, named with its owner: another account's, others-writable, or a link.

  $ snap; for make in 'mkdir /run/brellix; chown nobody /run/brellix' 'mkdir -m 1777 /run/brellix' \
  >   'mkdir -m 700 /run/d; ln -s d /run/brellix'; do privately "$make; brellix -q -d alias -w a y"; done
  > unchanged
  ! Fatal: untrusted lock directory /run/brellix (a directory, mode 0755, owner uid 65534)
  ! Fatal: untrusted lock directory /run/brellix (a directory, mode 1777, owner uid 0)
  ! Fatal: untrusted lock directory /run/brellix (a symbolic link, mode 0777, owner uid 0)

An unusable lock file is refused as what it is: a FIFO, another account's, a link, a device node, a socket.

  $ for make in mkfifo 'install -o nobody -m 644 /dev/null' 'ln -s f' 'cp -a /dev/null' 'cp -a alias' \
  >   "python3 -c 'import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])'"; do
  >   privately "mkdir -m 700 /run/brellix; : >/run/brellix/f; $make /run/brellix/$(<N)
  >   brellix -q -d alias -w a y"; done; unchanged
  ! Fatal: unusable lock file /run/brellix/.* \(a FIFO, mode 0644, owner uid 0\) (re)
  ! Fatal: unusable lock file /run/brellix/.* \(a regular file, mode 0644, owner uid 65534\) (re)
  ! Fatal: unusable lock file /run/brellix/.* \(a symbolic link, mode 0777, owner uid 0\) (re)
  ! Fatal: unusable lock file /run/brellix/.* \(a character device, mode 0666, owner uid 0\) (re)
  ! Fatal: unusable lock file /run/brellix/.* \(a block device, mode 0644, owner uid 0\) (re)
  ! Fatal: unusable lock file /run/brellix/.* \(a socket, mode 0755, owner uid 0\) (re)

A /run without the lock directory gets one that only root may use, and the lock file goes with the run.

  $ privately 'brellix -q -d alias -w a y; stat -c "%a %U" /run/brellix; ls -A /run/brellix'
  700 root

A read-only /run holds no lock files: the run locks the node alone...

  $ privately 'mount -o remount,ro /run; brellix -q -d alias -w a x'; brellix -q -d alias -rs a
  1 (no-eol)

...as without /run (an initramfs: strace hides /run, then fails making the directory as it fails there).

  $ privately 'fault @/run open:error=ENOENT -- brellix -q -d alias -w a y
  >   fault mkdir:error=ENOENT -- brellix -q -d alias -w b x'; brellix -q -d alias -rs a
  > brellix -q -d alias -rs b
  221 (no-eol)

A /run too full for the lock directory, or for the lock file, refuses the run, which writes nothing.

  $ snap; for n in 1 2; do privately "mount -t tmpfs -o nr_inodes=$n tmpfs /run
  >   brellix -q -d alias -w a x"; done; unchanged
  ! Fatal: unable to lock device (alias)
  ! Fatal: unable to lock device (alias)

So does a lock directory that cannot be opened, or a lock file that cannot be locked (strace fails each).

  $ for fail in '@/run open' '@/run/brellix/$(<N) lock'; do privately "mkdir -m 700 /run/brellix
  >   install -m 600 /dev/null /run/brellix/$(<N); fault $fail:error=ENOLCK -- brellix -q -d alias -w a x"
  > done; unchanged
  ! Fatal: unable to lock device (alias)
  ! Fatal: unusable lock file /run/brellix/.* \(a regular file, mode 0600, owner uid 0\) (re)

A run of another account locks the node alone: it is not refused the lock directory, and makes no lock file.

  $ chmod o+x .; chmod 666 alias
  > privately 'mkdir -m 700 /run/brellix; $(<NOBODY) brellix -q -d alias -rs b; ls -A /run/brellix'
  1 (no-eol)

A lock file that another run holds stays when a run ends: a later run would make another beside it.

  $ privately 'mkdir -m 700 /run/brellix; umask 077; flock -s /run/brellix/$(<N) brellix -q -d alias -e a
  >   ls /run/brellix'
  brellix-blk-7-\d+\.lock (re)

A lock directory or file made by another run between look and making is used; an interrupted lock is retried.

  $ privately 'mkdir -m 700 /run/brellix; install -m 600 /dev/null /run/brellix/$(<N)
  >   fault @/run @/run/brellix @/run/brellix/$(<N) open:error=ENOENT:when=2..4+2 lock:error=EINTR:when=1 -- \
  >   brellix -q -d alias -rs b'
  1 (no-eol)

A lock file gone by the time the run looks at what it could not open (strace fails the opening) is made anew.

  $ privately 'mkdir -m 700 /run/brellix; fault =$(<N) open:error=ELOOP:when=1 -- brellix -q -d alias -rs b
  >   ls -A /run/brellix'
  1 (no-eol)

mktinyfs --info and --extract read a device node as they read the image behind it (the manifest names it).

  $ diff <(mktinyfs --info $(<L) --json) <(mktinyfs --info img --json) && mktinyfs --extract img i >out &&
  >   mktinyfs --extract $(<L) n | diff out - && diff -r -I '^# mktinyfs arguments' n i && echo same
  same

--info takes the device's shared lock through its lock file: a writer holding it keeps --info out.

  $ privately 'mkdir -m 700 /run/brellix; umask 077; flock -x /run/brellix/$(<N) mktinyfs --info $(<L)'
  ! mktinyfs: device is locked by another process \(/dev/loop\d+\) (re)
  [2]

  $ losetup -d $(<L)
