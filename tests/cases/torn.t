A table cut short (a torn page zeroed the slot of "b") fails the check at the first entry left after its end.

  $ mkimg a= b= c=; poke img 0x4040 00; brellix -d img -c
  ** using device img
  ** Checking media integrity...
  ! Fatal: Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c"
  [1]

--write refuses on a cut table, whatever file it names: the last file's room runs over the files the cut hid.

  $ snap; echo new >x; brellix -q -d img -w a x; unchanged
  ! Fatal: Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c"; nothing written: dump the \
  !   device, recover its files with mktinyfs --extract --salvage, then rebuild it

--rename goes on, and leaves every byte from the slot after the end slot on as it was.

  $ brellix -q -d img -mv a z && cmp -i $((0x4060)) img.0 img && brellix -q -d img -e z

A slot after the end not shaped like an entry (here: contents inside the table) leaves the image clean.

  $ slot 3 offset 0xbfff; brellix -q -d img -c

A slot after the end counts with "~" ending its name and contents that end at the device end.

  $ mkimg a= b= 'c~='; poke img 0x4040 00; slot 3 offset 0x83f000; slot 3 size 0x1000; brellix -q -d img -c
  ! Fatal: Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c~"
  [1]
