--rename gives a file a new name.

  $ printf 123456789 >nine; mkimg a=nine b=nine --load 0x100 c=; brellix -d img -mv b kernel.old
  ** using device img
  ** Renaming to kernel.old

The FAT is written back from what was loaded: ignored bytes become zeros, slots after the end keep theirs.

  $ poke img 0x4000 55; poke img 0x4022 41; brellix -q -d img -mv c c
  > mktinyfs exp a=nine kernel.old=nine --load 0x100 c= && cmp exp img && peek img 0x4080 64
  0000000000000000000000000000000000000000000000000000000000000000
  ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff

A new name is cut to 15 bytes.

  $ brellix -q -d img -mv %2 0123456789abcdefXYZ; brellix -d img -l | sed -n 4p | cut -c1-22
  0123456789abcde      |

An empty name would end the table there: it is refused.

  $ snap; brellix -d img -mv a ''; unchanged
  ** using device img
  ! Fatal: invalid new name ("")

A name another file bears is not; the name then finds the first of them.

  $ brellix -q -d img -mv kernel.old a && brellix -q -d img -w a /dev/null &&
  >   brellix -d img -l | awk 'NR > 1 { print $1, $3 }'
  a 0
  a 9
  0123456789abcde 0

A full table is written back as exactly the FAT area, without an end slot.

  $ mkimg $(printf 'f%d= ' $(seq 1023)) && brellix -q -d img -mv f1023 last
  > mktinyfs exp $(printf 'f%d= ' $(seq 1022)) last= && cmp exp img && peek img 0xc000 4
  ffffffff
