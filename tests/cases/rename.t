Renaming rewrites the FAT from what was loaded (ignored bytes become zeros), names cut to 15.

  $ printf 123456789 >nine; mkimg a=nine b=nine --load 0x100 c=
  $ poke img 0x4000 55; poke img 0x4022 41; brellix -d img -mv b kernel.old
  ** using device img
  ** Renaming to kernel.old
  $ mktinyfs exp a=nine kernel.old=nine --load 0x100 c= && cmp exp img
  $ brellix -q -d img -mv %2 0123456789abcdefXYZ -l; brellix -d img -l | cut -c1-22
  ** using device img
  a                    |
  kernel.old           |
  0123456789abcde      |
  $ mktinyfs exp a=nine kernel.old=nine --load 0x100 0123456789abcde= && cmp exp img

An empty name would end the table: refused; a name another file bears is not.

  $ snap; brellix -d img -mv a ''; brellix -q -d img -mv x y; unchanged
  ** using device img
  ! Fatal: invalid new name ("")
  ! Fatal: file entry not found ("x")
  $ brellix -q -d img -mv kernel.old a && brellix -q -d img -w a /dev/null -rs %1
  123456789 (no-eol)
  $ brellix -d img -l | awk 'NR > 1 { print $1, $3 }'
  a 0
  a 9
  0123456789abcde 0

A full table is written back as exactly the FAT area, without an end slot.

  $ mkimg $(printf 'f%d= ' $(seq 1023)) && brellix -q -d img -rs %9 -mv f1023 last
  $ mktinyfs exp $(printf 'f%d= ' $(seq 1022)) last= && cmp exp img
