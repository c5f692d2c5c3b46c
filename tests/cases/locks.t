Locks no account of no standing can hold or move (root, a loop device). N and NOBODY as in devices.t.

  $ printf 1 >x; printf 22 >y; mkimg a=x b=y; [ $(id -u) = 0 ] && losetup -f --show img >L &&
  >   mknod alias b $(stat -c '0x%t 0x%T' $(<L)) || skip root and losetup
  > stat -c brellix-blk-%Hr-%Lr.lock $(<L) >N
  > echo 'setpriv --reuid=nobody --regid=nogroup --clear-groups' >NOBODY

An account that may only read the image and a node holds root off neither by flock nor by read lock.

  $ chmod o+x .; coproc $(<NOBODY) python3 -c 'import fcntl, sys
  > held = [open(name) for name in sys.argv[1:] for kind in (fcntl.flock, fcntl.lockf)]
  > for f, kind in zip(held, [fcntl.flock, fcntl.lockf] * 2): kind(f, fcntl.LOCK_EX if kind == fcntl.flock
  >     else fcntl.LOCK_SH)
  > print(flush=True); sys.stdin.read()' img alias
  > read -u ${COPROC[0]}; brellix -q -d img -w a y && brellix -q -d alias -w b x && brellix -q -d img -rs a
  22 (no-eol)

An account that may write the image still keeps root's writer waiting until it is done: no update is lost.

  $ chown nobody img; fault @$PWD/img read:delay_exit=400000 -- $(<NOBODY) brellix -q -d img -w a x &
  > sleep 0.3; brellix -q -d img -w b y; wait; chown root img
  > brellix -q -d img -rs a; brellix -q -d img -rs b
  122 (no-eol)

Root's runs on an image file exclude one another by a lock file of root's named by its file system and inode.

  $ privately 'mkdir -m 700 /run/brellix; umask 077
  > flock -x /run/brellix/brellix-file-$(stat -c %Hd-%Ld-%i img).lock brellix -q -d img -l'
  ! Fatal: device is locked by another process (img)
  [1]

A lock file whose mode lets other accounts open it (and so hold it) is refused like another account's.

  $ snap; for mode in 640 604; do privately "mkdir -m 700 /run/brellix
  >   install -m $mode /dev/null /run/brellix/$(<N); brellix -q -d alias -w a x"; done; unchanged
  ! Fatal: unusable lock file /run/brellix/brellix-blk-7-\d+\.lock \(a regular file, mode 0640, owner uid \
  !   0\) (re)
  ! Fatal: unusable lock file /run/brellix/brellix-blk-7-\d+\.lock \(a regular file, mode 0604, owner uid \
  !   0\) (re)

A /run where another account could rename the lock directory away is refused, and nothing is written.

  $ refused privately "'chmod 777 /run; brellix -q -d alias -w a x'" "'chown nobody /run
  > brellix -q -d alias -w a x'"; unchanged
  ! 'chmod 777 /run; brellix -q -d alias -w a x': Fatal: untrusted lock directory /run (a directory, mode \
  !   0777, owner uid 0)
  ! 'chown nobody /run
  ! brellix -q -d alias -w a x': Fatal: untrusted lock directory /run (a directory, mode 0755, owner uid \
  !   65534)

Under the sticky bit each name is its owner's alone: such a /run is used.

  $ privately 'chmod 1777 /run; brellix -q -d alias -w a x'; brellix -q -d alias -rs a
  1 (no-eol)

A device that cannot be looked at once opened (strace fails the look) is refused before anything is printed.

  $ snap; fault @$PWD/img stat:error=EIO:when=1 -- brellix -d img -l 1<>img; unchanged
  ! Fatal: unable to open device

The device is opened once: a link switched while --read copies onto a FIFO moves no command onto its file.

  $ head -c 99999 /dev/urandom >big; mkimg a=big; cp img z; mkfifo f
  > ln -s img link; brellix -d link -r a f -mv a c 1<>z & exec 3<f; ln -sfn z link; cat <&3 >/dev/null; wait
  > brellix -q -d img -e c && brellix -q -d z -e a && echo renamed in img alone
  renamed in img alone

  $ losetup -d $(<L)

On an overlay, a loop device over one's file makes its upper and lower names and every regular file on the
layers the device for --read and stdout; elsewhere files are taken. OVERLAY mounts it and attaches $L.

  $ echo 'mkdir -p "lo w" up m && mount -t tmpfs tmpfs "lo w" && mount -t tmpfs tmpfs up && mkdir "lo w/l" \
  >   up/u up/w && mktinyfs "lo w/l/img" a=x && mount -t overlay overlay -o "lowerdir=$PWD/lo w/l,\
  > upperdir=$PWD/up/u,workdir=$PWD/up/w" m && L=$(losetup -f --show m/img) && trap "losetup -d $L" EXIT' \
  >   >OVERLAY
  > privately '. ./OVERLAY' || skip overlayfs
  > privately '. ./OVERLAY; cp m/img m.0; refused "brellix -q -d $L -r a" up/u/img "\"lo w/l/img\"" up/other
  >   brellix -q -d $L -l 1<>up/u/img; brellix -q -d $L -r a elsewhere; cmp m.0 m/img && cmp x elsewhere'
  ! up/u/img: Fatal: local file is the device itself (up/u/img)
  ! "lo w/l/img": Fatal: local file is the device itself (lo w/l/img)
  ! up/other: Fatal: local file is the device itself (up/other)
  ! Fatal: standard output is the device itself \(/dev/loop\d+\) (re)

A loop device over a layer's file makes every regular file on the overlay count as it; so does a hidden layer.

  $ privately '. ./OVERLAY; : >>m/img; l=$(losetup -f --show up/u/img); brellix -q -d $l -r a m/img
  >   losetup -d $l; mv "lo w/l" "lo w/gone"; brellix -q -d $L -r a elsewhere'
  ! Fatal: local file is the device itself (m/img)
  ! Fatal: local file is the device itself (elsewhere)
  [1]
