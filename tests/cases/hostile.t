A path that is no device fails in one line: one that does not open, or has no pages.

  $ refused 'brellix -q -l -d' /no/img /dev/null
  ! /no/img: Fatal: unable to open device
  ! /dev/null: Fatal: invalid seek

A device shorter than the FAT is not mounted; nothing is written past a short device's end, which stays.

  $ printf 123456789 >nine; mkimg a=nine --offset 0x500000; head -c 20000 img >short
  > head -c 4325376 img >half
  > cp half half.0; refused 'brellix -q -d' 'short -l' 'half -sdid X'; cmp half.0 half
  ! short -l: Fatal: incomplete read
  ! half -sdid X: Fatal: incomplete read

A name's bytes below 0x20 and 0x7f print as \xHH, others as they are: in the listing, the check, a rename...

  $ mkimg a=short; poke img 0x4020 610a0d1b7f62; brellix -d img -l -v -c -mv %0 $'a\n\r\e\x7fb' | grep -F '\x'
  a\x0a\x0d\x1b\x7fb   | 20000 bytes      | Sum: 0xd6d4  |                 | 100% growable (8581600 bytes left) (wide)
    * Checking a\x0a\x0d\x1b\x7fb...
  ** Renaming to a\x0a\x0d\x1b\x7fb

...in a failed --write's message, whether only the table's read-back failed (then the check passes) or not...

  $ f='fault @"$PWD/img"'; refused "$f" 'read:error=EIO:when=7 -- brellix -q -d img -w %0 nine'
  > brellix -q -d img -c && refused "$f" 'read:error=EIO:when=5 -- brellix -q -d img -w %0 short'
  ! read:error=EIO:when=7 -- brellix -q -d img -w %0 nine: Fatal: unable to read; the table was written but \
  !   could not be read back to verify it: check the image with brellix -c, and write "a\x0a\x0d\x1b\x7fb" \
  !   again if it fails
  ! read:error=EIO:when=5 -- brellix -q -d img -w %0 short: Fatal: unable to read; "a\x0a\x0d\x1b\x7fb" in \
  !   the image is now damaged, write it again

...and in a quiet listing's failure, a name not found, a file past the device end and mktinyfs --info's check.

  $ slot 1 size 2**30; refused 'brellix -q -d img' -l "-r $'a\n' x" '-r %0 x'; mktinyfs --info img | tail -1
  check: Fatal: Filesystem corrupt: File "a\x0a\x0d\x1b\x7fb" too big!
  ! -l: Fatal: File system corrupt! (a\x0a\x0d\x1b\x7fb)
  ! -r $'a\n' x: Fatal: file entry not found ("a\x0a")
  ! -r %0 x: Fatal: file exceeds device ("a\x0a\x0d\x1b\x7fb")
