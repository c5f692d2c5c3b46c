Copying out, only when the checksum matches unless forced; the name is looked up first.

  $ seq 3000 >big; printf 'line one\nno end' >txt; printf 'ab\0cd' >bin; echo old >old
  $ mkimg --device-id BX-1 big=big --offset 0x10007 txt=txt bin=bin e= --no-checksum bad=txt t1=old
  $ slot 5 flags 0x12340000; snap; seq 9000 >out; brellix -d img -r big out && cmp big out
  ** using device img
  $ brellix -q -d img -r %1 out && cmp txt out && brellix -q -d img -r e out && wc -c <out
  0
  $ brellix -d img -rs txt
  line one
  no end (no-eol)
  $ brellix -q -d img -rs t1
  old
  $ brellix -d img -rs %2x -l -gdid | od -c; brellix -q -d img -r '% 01' x && cmp txt x; unchanged
  0000000   B   X   -   1  \n   a   b
  0000007
  $ brellix -d img -r bad new; brellix -q -d img -r bad old; test -e new || cat old
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
  $ brellix -q -d img -r nothere /no/dir/x; brellix -q -d img -r %5 /no/dir/x
  ! Fatal: file entry not found ("nothere")
  ! Fatal: unable to open file (/no/dir/x)
  [1]
  $ brellix -q -d img -r big /dev/full; brellix -q -d img -rs big >/dev/full
  ! Fatal: unable to write data
  ! Fatal: unable to write data
  [1]

Zero bytes check as 0; contents past the device end are refused, forced or not.

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
