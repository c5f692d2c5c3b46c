Other names of the device, which need root and a loop device to make: skipped without them.

  $ printf 1 >x; printf 22 >y; mkimg a=x b=y; [ $(id -u) = 0 ] && losetup -f --show img >L && mknod alias b $(stat -c '0x%t 0x%T' $(<L)) || skip root and losetup

--read refuses a block device as its local file: a loop device over the image is the flash itself.

  $ brellix -q -d img -r a $(<L); unchanged
  ! Fatal: local file is a block device \(/dev/loop\d+\) (re)

A failed --exists on a device node closes the device and removes its lock file, as every failure does.

  $ ASAN_OPTIONS=detect_leaks=0 strace -qqq -y -o log -e trace=close,unlink,unlinkat brellix -q -d $(<L) -e none; grep -E '^(close\([0-9]+</dev/loop|unlink)' log
  close\(\d+</dev/loop\d+>\) += 0 (re)
  unlink.*\.lock.* = 0 (re)

Two nodes of one device (the loop device and its copy made by mknod) exclude each other: no update is lost.

  $ onreads $(<L) delay_exit=400000 brellix -q -d $(<L) -w a y & sleep 0.3; brellix -q -d alias -w b x; wait
  > brellix -q -d alias -rs a; brellix -q -d alias -rs b; losetup -d $(<L)
  221 (no-eol)
