--read copies a file out, replacing what the local file held.

  $ seq 3000 >big; printf 'line one\nno end' >txt; printf 'ab\0cd' >bin
  > mkimg --device-id BX-1 big=big --offset 0x10007 txt=txt bin=bin e= --no-checksum bad=txt
  > slot 5 flags 0x12340000; snap; seq 9000 >out; brellix -d img -r big out && cmp big out
  ** using device img

"%N" names the file at position N of the table.

  $ brellix -q -d img -r %1 out && cmp txt out

--read-stdout prints the contents as they are.

  $ brellix -d img -rs txt
  line one
  no end (no-eol)

It stops at the first zero byte.

  $ brellix -q -d img -rs bin | od -c
  0000000   a   b
  0000002

A position is read as a number: blanks and zeros before it and characters after it are passed over.

  $ brellix -q -d img -r '% 01' x && cmp txt x && brellix -q -d img -r %2x x && cmp bin x

A sign may come first, and a minus wraps around as in an unsigned 32-bit number: both name position 1.

  $ brellix -q -d img -r %+1 x && cmp txt x && brellix -q -d img -r %-4294967295 x && cmp txt x

A position past 32 bits or past the table, no number, or a name not in the table: no file, before any opening.

  $ refused 'brellix -q -d img -r' '%4294967297 x' '%6 x' "'% ' x" '%x x' 'nothere /no/dir/x' '%1 /no/dir/x'
  ! %4294967297 x: Fatal: file entry not found ("%4294967297")
  ! %6 x: Fatal: file entry not found ("%6")
  ! '% ' x: Fatal: file entry not found ("% ")
  ! %x x: Fatal: file entry not found ("%x")
  ! nothere /no/dir/x: Fatal: file entry not found ("nothere")
  ! %1 /no/dir/x: Fatal: unable to open file (/no/dir/x)

A local file that cannot be emptied first fails the run, instead of keeping its old end.

  $ seq 9 >x; fault truncate:error=EIO -- brellix -q -d img -r txt x
  ! Fatal: unable to write data
  [1]

Reading never wrote the device; contents whose checksum fails are refused before the local file is opened.

  $ unchanged; echo old >old; refused brellix '-d img -r bad new' '-q -d img -r bad old'
  > test ! -e new && cat old
  ** using device img
  old
  ! -d img -r bad new: Fatal: Checksum error would produce invalid output (use --force to write nevertheless)
  ! -q -d img -r bad old: Fatal: Checksum error would produce invalid output (use --force to write \
  !   nevertheless)

--force delivers them with a notice.

  $ brellix --force -d img -r bad new && cmp txt new
  ** using device img
  ** Checksum error (invalid output produced!)

--read-stdout --force delivers them quietly.

  $ brellix --force -d img -rs bad
  line one
  no end (no-eol)

Output that cannot be written fails the run.

  $ refused 'brellix -q -d img' '-r big /dev/full' '-rs big >/dev/full' '--help >/dev/full'
  ! -r big /dev/full: Fatal: unable to write data
  ! -rs big >/dev/full: Fatal: unable to write data
  ! --help >/dev/full: Fatal: unable to write data

So does a write past a file-size limit, leaving the file cut as a full disk would (catches death by SIGXFSZ).

  $ (ulimit -f 8; brellix -q -d img -r big cut) || wc -c <cut
  8192
  ! Fatal: unable to write data

Zero bytes check as 0.

  $ slot 4 flags 0xffff0000; brellix -q -d img -r e x
  ! Fatal: Checksum error would produce invalid output (use --force to write nevertheless)
  [1]

Contents past the device end are refused, forced or not.

  $ slot 1 offset 0x83ffff; slot 1 size 2; brellix -q --force -d img -r big x -rs big
  ! Fatal: file exceeds device ("big")
  [1]

The last page of the device is read like any other.

  $ slot 1 offset 0x83fbe0; slot 1 size 0x420; brellix -q --force -d img -r big x &&
  >   tail -c 1056 img | cmp - x

An offset and size that wrap around 4 GiB pass the device end too.

  $ slot 1 offset 0xffffff00; slot 1 size 0x200; brellix -q -d img -rs big
  ! Fatal: file exceeds device ("big")
  [1]
