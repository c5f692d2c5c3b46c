Other names of the device, which need root and a loop device to make: skipped without them. N holds
the name of the device's lock file, and NOBODY runs a command as an account of no standing.

  $ printf 1 >x; printf 22 >y; mkimg a=x b=y; [ $(id -u) = 0 ] && losetup -f --show img >L &&
  >   mknod alias b $(stat -c '0x%t 0x%T' $(<L)) || skip root and losetup
  > stat -c brellix-blk-%Hr-%Lr.lock $(<L) >N
  > echo 'setpriv --reuid=nobody --regid=nogroup --clear-groups' >NOBODY

--read refuses a block device as its local file: a loop device over the image is the flash itself.

  $ brellix -q -d img -r a $(<L); unchanged
  ! Fatal: local file is a block device \(/dev/loop\d+\) (re)

A failed --exists on a device node closes the device (opened twice: the console check asks the loop
device what lies behind it) and removes its lock file, as every failure does.

  $ ASAN_OPTIONS=detect_leaks=0 strace -qqq -y -o log -e trace=close,unlink,unlinkat \
  >   brellix -q -d $(<L) -e none
  > grep -E '^(close\([0-9]+</dev/loop|unlink.*\.lock)' log
  close\(\d+</dev/loop\d+>\) += 0 (re)
  close\(\d+</dev/loop\d+>\) += 0 (re)
  unlink.*\.lock.* = 0 (re)

The image behind a loop device given as the device is the device itself: --read never writes it...

  $ brellix -q -d $(<L) -r a img; unchanged
  ! Fatal: local file is the device itself (img)

...nor does standard output.

  $ brellix -q -d $(<L) -l 1<>img; unchanged
  ! Fatal: standard output is the device itself \(/dev/loop\d+\) (re)

Another account's folder and link under the lock file's old names do not switch the lock off: two nodes
of one device (the loop device and its copy made by mknod) still exclude each other, and no update is lost.

  $ trap 'rm -rf /run/lock/$(<N) /tmp/$(<N)' EXIT
  > $(<NOBODY) mkdir /run/lock/$(<N); $(<NOBODY) ln -s x /tmp/$(<N)
  > onreads $(<L) delay_exit=400000 brellix -q -d $(<L) -w a y & sleep 0.3; brellix -q -d alias -w b x; wait
  > brellix -q -d alias -rs a
  22 (no-eol)

The write that waited is there too.

  $ brellix -q -d alias -rs b
  1 (no-eol)

A lock file another account made and holds under the old name does not lock root out.

  $ trap 'rm -f /run/lock/$(<N)' EXIT; coproc $(<NOBODY) flock /run/lock/$(<N) -c 'echo; exec cat'
  > read -u ${COPROC[0]}; brellix -q -d alias -rs a
  22 (no-eol)

An untrusted lock directory is refused, naming it and its owner, and nothing is written: another account's...

  $ snap; privately 'mkdir /run/brellix; chown nobody /run/brellix; brellix -q -d alias -w a y'; unchanged
  ! Fatal: untrusted lock directory /run/brellix (a directory, mode 0755, owner uid 65534)

...or one others may write.

  $ privately 'mkdir -m 1777 /run/brellix; brellix -q -d alias -w a y'; unchanged
  ! Fatal: untrusted lock directory /run/brellix (a directory, mode 1777, owner uid 0)

An unusable lock file is refused too: a FIFO...

  $ privately 'mkdir -m 700 /run/brellix; mkfifo /run/brellix/$(<N); brellix -q -d alias -w a y'; unchanged
  ! Fatal: unusable lock file /run/brellix/brellix-blk-7-\d+\.lock \(a FIFO, mode 0644, owner uid 0\) (re)

...or another account's file.

  $ privately 'mkdir -m 700 /run/brellix; install -o nobody -m 644 /dev/null /run/brellix/$(<N)
  > brellix -q -d alias -w a y'; unchanged
  ! Fatal: unusable lock file /run/brellix/brellix-blk-7-\d+\.lock \(a regular file, mode 0644, owner uid 65534\) (re) (wide)

mktinyfs --info reads a device node as it reads the image behind it.

  $ diff <(mktinyfs --info $(<L) --json) <(mktinyfs --info img --json) && echo same
  same

--info takes the device's shared lock through its lock file: a writer holding it keeps --info out.

  $ privately 'mkdir -m 700 /run/brellix; flock -x /run/brellix/$(<N) mktinyfs --info $(<L)'
  ! mktinyfs: device is locked by another process \(/dev/loop\d+\) (re)
  [2]

  $ losetup -d $(<L)
