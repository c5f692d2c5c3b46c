A table cut short (a torn page zeroed the slot of "b") fails the check at the first entry left after its end.

  $ mkimg a= b= c=; poke img 0x4040 00; brellix -d img -c
  ** using device img
  ** Checking media integrity...
  ! Fatal: Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c"
  [1]

A slot after the end not shaped like an entry (here: contents inside the table) leaves the image clean.

  $ slot 3 offset 0xbfff; brellix -q -d img -c
