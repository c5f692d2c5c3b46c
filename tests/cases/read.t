Copying a file out: to a local file or to standard output, only when its checksum
matches unless forced.

  $ seq 1 3000 >big; printf 'line one\nno end' >txt; printf 'ab\0cd' >bin
  $ mkimg --device-id BX-1 big=big --offset 0x10007 txt=txt bin=bin e= --no-checksum bad=txt
  $ slot 5 flags 0x12340000; snap

An exact copy, by name or position, replacing whatever the local file held; nothing is
printed. Standard output gets the contents up to the first zero byte, as they are.

  $ seq 1 9000 >out; brellix -d img -r big out && cmp big out
  ** using device img
  $ brellix -q -d img -r %1 out && cmp txt out && brellix -q -d img -r e out && wc -c <out
  0
  $ brellix -d img -rs txt
  line one
  no end (no-eol)
  $ brellix -d img -rs %2 -l -gdid | od -c
  0000000   B   X   -   1  \n   a   b
  0000007
  $ unchanged

A checksum mismatch refuses without creating or touching the local file; --force lets
the contents through with a warning (never seen for standard output, which is quiet).

  $ echo old >old; brellix -d img -r bad new; brellix -q -d img -r bad old; test -e new || cat old
  ** using device img
  old
  ! Fatal: Checksum error would produce invalid output (use --force to write nevertheless)
  ! Fatal: Checksum error would produce invalid output (use --force to write nevertheless)
  $ brellix -q -d img -rs bad
  ! Fatal: Checksum error would produce invalid output (use --force to write nevertheless)
  [1]
  $ brellix --force -d img -r bad new && cmp txt new; brellix --force -d img -rs bad
  ** using device img
  ** Checksum error (invalid output produced!)
  line one
  no end (no-eol)

Names are looked up before any local file is opened; then the local file must open and
take every byte.

  $ brellix -d img -r nothere /no/dir/x; brellix -d img -r %5 /no/dir/x
  ** using device img
  ** using device img
  ! Fatal: file entry not found ("nothere")
  ! Fatal: file entry not found ("%5")
  [1]
  $ brellix -d img -r big /dev/full; brellix -d img -rs big >/dev/full
  ** using device img
  ! Fatal: unable to write data
  ! Fatal: unable to write data
  [1]
  $ brellix -q -d img -r %2x x && cmp bin x && brellix -q -d img -r '% 1' x && cmp txt x

An empty file whose checksum is not 0 fails like any mismatch: zero bytes check as 0.
A file whose contents would pass the device end is refused, forced or not; one that
ends exactly there is read.

  $ slot 4 flags 0xffff0000; brellix -q -d img -r e x
  ! Fatal: Checksum error would produce invalid output (use --force to write nevertheless)
  [1]
  $ slot 1 offset 0x83ffff; slot 1 size 2; brellix -q --force -d img -r big x -rs big
  ! Fatal: file exceeds device ("big")
  [1]
  $ slot 1 size 1; slot 1 flags 0xe10f0000; brellix -q -d img -r big x && od -An -tx1 x
   ff
  $ slot 1 offset 0xffffff00; slot 1 size 0x200; brellix -q -d img -rs big
  ! Fatal: file exceeds device ("big")
  [1]
