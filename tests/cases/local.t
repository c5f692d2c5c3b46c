Output to a closed descriptor or pipe never lands on the device, and it ends the run.

  $ printf 123456789 >nine; printf 0123456789 >ten; mkimg a=nine b=ten
  $ brellix -d img -l >&-; brellix -d img -l 0<&- 1>&- 2>&-; echo $?; brellix -q -d img -rs a >&-
  1
  ! Fatal: unable to write data
  ! Fatal: unable to write data
  [1]
  $ unchanged; brellix -q -d img -mv a c 1>&-; wc -c <img; brellix -d img -l | sed -n 2p
  8650752
  c                    | 9 bytes          | 99% growable  (471 bytes left)
  $ mkimg a=nine b=nine; (sleep 0.3; brellix -d img -l -mv a c; echo "[$?]" >&2) | true; unchanged
  ! Fatal: unable to write data
  ! [1]

The device is never a local file to write; a source is read no further than measured.

  $ ln -s img link; ln img hard; for to in img link hard; do brellix -q -d img -r a $to; done; unchanged
  ! Fatal: local file is the device itself (img)
  ! Fatal: local file is the device itself (link)
  ! Fatal: local file is the device itself (hard)
  $ brellix -q -d img -w a /dev/zero; unchanged
  ! Fatal: local file has more than its measured 0 bytes (/dev/zero)
  $ mkfifo fifo; (echo data >fifo &); brellix -q -d img -w a fifo
  ! Fatal: seek error
  [1]
  $ mkimg a= --room 2000 b=; brellix -q -d img -w a /proc/version && brellix -q -d img -rs a | cmp - /proc/version
  $ brellix -q -d img -w a /sys/class/net/lo/address && brellix -d img -rs a | cmp - /sys/class/net/lo/address

One writer at a time: a run waits a few seconds for the device, then gives up.

  $ slowly brellix -q -d img -w a nine & sleep 0.2; brellix -q -d img -w b ten; wait
  $ brellix -q -d img -rs a | cmp - nine && brellix -q -d img -rs b | cmp - ten
  $ flock -x img sleep 6 >/dev/null & sleep 0.3; brellix -q -d img -l; wait
  ! Fatal: device is locked by another process (img)
  $ flock -s img sleep 6 >/dev/null & sleep 0.3; brellix -q -d img -c && brellix -q -d img -w a ten; wait
  ! Fatal: device is locked by another process (img)

mktinyfs never puts two files at one offset, even an empty one.

  $ for files in 'a=nine --offset 0xc000 b= --offset 0xc000' 'a= b=nine c= --offset 0xc1e0'; do
  >   mktinyfs x $files; done
  ! mktinyfs: files "a" (0xc000 + 0x9) and "b" (0xc000 + 0x0) overlap
  ! mktinyfs: files "b" (0xc1e0 + 0x9) and "c" (0xc1e0 + 0x0) overlap
  [1]
