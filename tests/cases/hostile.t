A path that is no device fails in one line: one that does not open, or has no pages.

  $ mkdir dir; refused 'brellix -q -l -d' /no/img dir /dev/null
  ! $ brellix -q -l -d /no/img
  ! Fatal: unable to open device
  ! $ brellix -q -l -d dir
  ! Fatal: unable to open device
  ! $ brellix -q -l -d /dev/null
  ! Fatal: invalid seek

A device shorter than the FAT cannot be mounted.

  $ printf 123456789 >nine; mkimg a=nine --offset 0x500000; head -c 20000 img >short; brellix -q -d short -l
  ! Fatal: incomplete read
  [1]

Contents past the end of a short device cannot be read.

  $ head -c 4325376 img >half; brellix -q -d half -l -r a x
  ! Fatal: incomplete read
  [1]

Nor can the identifier record be written there: the device does not grow, nor change.

  $ cp half half.0; brellix -q -d half -sdid X; cmp half.0 half
  ! Fatal: incomplete read

An erased slot reads as an entry: it is listed, and its size exceeds its room.

  $ mkimg a=nine; poke img 0x4040 ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff
  > brellix -d img -l
  ** using device img
  a                    | 9 bytes          | 100% growable (4294918134 bytes left)
  \xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff      | 4294967295 bytes | 4294966900% growable (8650754 bytes left) (esc) (wide)
  ! Fatal: File system corrupt! (\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff) (esc)
  [1]
