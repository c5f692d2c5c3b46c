--write replaces a file's contents, printing only the device's name.

  $ printf 123456789 >nine; seq 1 60000 >big; head -c 1000 big >k
  > mkimg a=k --offset 0x10007 b=nine --offset 0x72007 c=k --load 0x9000 d=k --load 0x9400
  > brellix -d img -w a big
  ** using device img

In place, then size and checksum in the FAT; nothing else moves: mktinyfs builds the same image.

  $ brellix -q -d img -w %1 nine && mktinyfs exp a=big --offset 0x10007 \
  >   b=nine --offset 0x72007 c=k --load 0x9000 \
  >   d=k --load 0x9400 && cmp exp img && brellix -d img -l -v | grep '^a '
  a                    | 348894 bytes     | Sum: 0x9e8c  |                 | 14% growable  (52514 bytes left)

Empty contents record checksum 0 and read back empty.

  $ : >empty; brellix -q -d img -w b empty && brellix -q -d img -r b x && brellix -d img -l -v | grep '^b ' &&
  >   wc -c <x
  b                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (857 bytes left)
  0

The room ends at the next file (a byte more is refused) or the next higher load address; lengths are 64-bit.

  $ snap; seq 99999 >s; head -c 401409 s >over; head -c 1025 s >k2; truncate -s 4294967297 huge
  > refused 'brellix -q -d img -w' 'a over' 'c k2' 'b huge'; unchanged
  ! a over: Fatal: file to big (filesystem unchanged)
  ! c k2: Fatal: file to big (filesystem unchanged)
  ! b huge: Fatal: file to big (filesystem unchanged)

Contents that fill the room exactly are written.

  $ head -c 401408 s >max; brellix -q -d img -w a max && brellix -q -d img -w d k2 &&
  >   brellix -q -d img -r a x -rs d | cmp - k2 && cmp max x

--write runs after --rename: the old name is gone...

  $ brellix -q -d img -mv b z -w b nine
  ! Fatal: file entry not found ("b")
  [1]

...and the new name is found.

  $ brellix -q -d img -mv z y -w y nine && brellix -d img -rs y
  123456789 (no-eol)

Room past the device end (an inconsistent table) is refused before anything is written.

  $ mkimg a=nine b=nine; slot 1 offset 0x83fff0; slot 2 offset 0x9000c000; snap
  > brellix -q -d img -w a big; unchanged
  ! Fatal: file to big (filesystem unchanged)

Contents up to the device end are written.

  $ head -c 16 big >16; brellix -q -d img -w a 16 && brellix -q -d img -r a x && cmp 16 x

A file at the device end takes no contents either, and one beyond it cannot be reached: nothing is written.

  $ slot 1 offset 0x840000; slot 2 offset 0x900000; snap; refused 'brellix -q -d img -w' 'a nine' 'b nine'
  > unchanged
  ! a nine: Fatal: file to big (filesystem unchanged)
  ! b nine: Fatal: invalid seek
