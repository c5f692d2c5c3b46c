Rewriting in place: the contents, then size and checksum in the FAT; nothing else moves.

  $ printf 123456789 >nine; seq 1 60000 >big; head -c 1000 big >k; : >empty
  $ mkimg a=k --offset 0x10007 b=nine --offset 0x72007 c=k --load 0x9000 d=k --load 0x9400
  $ brellix -d img -w a big && brellix -q -d img -w %1 nine
  ** using device img
  $ mktinyfs exp a=big --offset 0x10007 b=nine --offset 0x72007 c=k --load 0x9000 d=k --load 0x9400
  $ cmp exp img && brellix -q -d img -w b empty && brellix -d img -l -v | grep '^b '
  b                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (857 bytes left)
  $ brellix -q -d img -r b x && wc -c <x
  0

The room ends at the next file's data or higher load address; one byte more is refused.

  $ snap; seq 99999 >s; head -c 401408 s >max; head -c 401409 s >over; head -c 1025 s >k2
  $ brellix -d img -w a over; brellix -q -d img -w c k2; truncate -s 4294967297 huge
  ** using device img
  ! Fatal: file to big (filesystem unchanged)
  ! Fatal: file to big (filesystem unchanged)
  $ brellix -q -d img -w b huge; unchanged
  ! Fatal: file to big (filesystem unchanged)
  $ brellix -q -d img -w a max && brellix -q -d img -w d k2 && brellix -q -d img -r a x -rs d | cmp - k2 && cmp max x

  $ brellix -q -d img -w nothere missing; brellix -q -d img -w b missing
  ! Fatal: file entry not found ("nothere")
  ! Fatal: unable to open file (missing)
  [1]
  $ brellix -q -d img -mv b z -w b nine; brellix -q -d img -mv z y -w y nine && brellix -d img -rs y
  123456789 (no-eol)
  ! Fatal: file entry not found ("b")

Room past the device end (an inconsistent table) is refused before anything is written.

  $ mkimg a=nine b=nine; slot 1 offset 0x83fff0; slot 2 offset 0x9000c000; snap
  $ brellix -q -d img -w a big; unchanged; head -c 16 big >16; brellix -q -d img -w a 16 && brellix -q -d img -r a x && cmp 16 x
  ! Fatal: file to big (filesystem unchanged)
  $ slot 1 offset 0x840000; snap; brellix -q -d img -w a nine; slot 2 offset 0x900000; snap
  ! Fatal: file to big (filesystem unchanged)
  $ brellix -q -d img -w b nine; unchanged
  ! Fatal: invalid seek
