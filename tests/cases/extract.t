mktinyfs --extract writes each file of an image, saying a line a slot where it went.

  $ seq 1000 >zImage; printf 123456789 >nine; mkimg --device-id BX-0042 --mac 00:11:22:33:44:55 \
  >   kernel=zImage --load 0x20008000 --x --room 0x10000 config=nine --no-checksum splash= --room 0x4000 &&
  >   mktinyfs --extract img out
  slot 1: "kernel", 3893 bytes at 0xc000: 0001-kernel
  slot 2: "config", 9 bytes at 0x1d220: 0002-config
  slot 3: "splash", 0 bytes at 0x1d640: the manifest (no contents)
  slot 4: "mac-address", 17 bytes at 0x21840: the manifest (--mac)

Its manifest holds the mktinyfs arguments that build the image again.

  $ mktinyfs re @out/manifest && cmp img re && tail -n +3 out/manifest
  --device-id BX-0042
  kernel=0001-kernel --room 0x102eb --load 0x20008000 --x
  config=0002-config --no-checksum
  splash= --room 0x4200
  --mac 00:11:22:33:44:55

Any name, raw flags and load fields, a damaged checksum, files below the FAT and at the device end come back.

  $ mkimg =nine --name $'a=b "c\\\x01\xe9:Z[`{' --flags 0x1 --raw-load 0x1234 '#h'= 'q"'= 'b\'= \
  >   =nine --name @x --offset 0x10000 --load 0 --ax =nine --name --y z= --offset 0x20 e= --offset 0 \
  >   w=nine --offset 0x83fff7 && poke img 0x10000 00 && mktinyfs --extract img out2 >/dev/null &&
  >   mktinyfs re @out2/manifest && cmp img re && tail -n +3 out2/manifest
  =0001-a_b__c____Z___ --name "a=b \"c\\\x01\xe9:Z[`{" --raw-load 0x1234 --flags 0x1
  "#h="
  "q\"="
  "b\\="
  =0005-_x --name @x --offset 0x10000 --load 0x0 --ax --checksum 0xa69d
  =0006---y --name --y
  z= --offset 0x20
  e= --offset 0x0
  w=0009-w --offset 0x83fff7

An image without files comes back, its empty device identifier too (catches a file sought in an empty table).

  $ mktinyfs --device-id '' e && mktinyfs --extract e oe && mktinyfs e2 @oe/manifest && cmp e e2 &&
  >   tail -n 1 oe/manifest
  --device-id ""

A "mac-address" file that --mac would not write (flags, a load address or a zero byte) stays an ordinary file.

  $ printf '00:11:22:33:44:5\0' >m17; for o in --x '--raw-load 0x1' ''; do
  >   mkimg mac-address=m17 --no-checksum $o && mktinyfs --extract img "mac$o" >/dev/null &&
  >   tail -n 1 "mac$o/manifest"; done
  mac-address=0001-mac-address --x --no-checksum
  mac-address=0001-mac-address --raw-load 0x1 --no-checksum
  mac-address=0001-mac-address --no-checksum

A full table of 1023 files comes back, with one line for each.

  $ mkimg $(printf 'f%d= ' $(seq 1023)) && mktinyfs --extract img out3 >lines && mktinyfs re @out3/manifest &&
  >   cmp img re && wc -l <lines
  1023

A board's image rebuilds with all that brellix sees; stale bytes it cannot see are counted, not carried.

  $ mkimg kernel=zImage --room 5000 cfg=nine && brellix -q -d img -w kernel nine && poke img 0 abcd &&
  >   poke img 0x4000 ee && mktinyfs --extract img out4 >lines && mktinyfs re @out4/manifest &&
  >   cmp <(brellix -d img -l -v | tail -n +2) <(brellix -d re -l -v | tail -n +2) && cat lines
  slot 1: "kernel", 9 bytes at 0xc000: 0001-kernel
  slot 2: "cfg", 9 bytes at 0xe2e0: 0002-cfg
  The manifest builds again all that brellix sees; 3887 other bytes (stale data outside the files, the table \
    and the device-identifier record) are not carried.

An image mktinyfs cannot make is extracted as far as it goes: status 1, one line per problem.

  $ mkimg a=nine ../x=nine .=nine /etc/x=nine ..=nine $'\n'=nine g=nine --load 0x100 h=nine --load 0x200 \
  >   i=nine j=nine
  > poke img 0x4010 00 && poke img 0x4120 6100 && slot 3 offset 0x5000 && slot 4 offset 0x3ffc &&
  >   slot 5 offset 0x840000 && slot 10 offset 0x840000
  > slot 6 offset 0xc004 && slot 8 load 0x104 &&
  >   printf 'DEVICE_ID%040d\0' 0 | dd of=img bs=1 seek=$((0x83ffc0)) conv=notrunc status=none
  > mkdir d && cd d && mktinyfs --extract ../img out >/dev/null
  ! mktinyfs: cannot be rebuilt as it is: the table has no valid header (brellix says "invalid image"); a \
  !   rebuild writes one
  ! mktinyfs: cannot be rebuilt as it is: device identifier "0000000000000000000000000000000000000000" is \
  !   too long (40 bytes, at most 32)
  ! mktinyfs: cannot be rebuilt as it is: duplicate file name "a" (slots 1 and 9)
  ! mktinyfs: cannot be rebuilt as it is: file "." (0x5000 + 0x9) starts inside the FAT (0x4000..0xbfff)
  ! mktinyfs: cannot be rebuilt as it is: file "/etc/x" (0x3ffc + 0x9) runs into the FAT at 0x4000
  ! mktinyfs: cannot be rebuilt as it is: file ".." (0x840000 + 0x9) passes the device end at 0x840000
  ! mktinyfs: cannot be rebuilt as it is: file "j" (0x840000 + 0x9) passes the device end at 0x840000
  ! mktinyfs: cannot be rebuilt as it is: files "a" (0xc000 + 0x9) and "\x0a" (0xc004 + 0x9) overlap
  ! mktinyfs: cannot be rebuilt as it is: file "g" (0x9 bytes) does not fit below the next higher load \
  !   address: room for 0x4 bytes from load address 0x100
  [1]

Nothing lands outside DIR, whatever the names; manifest comments name each problem where a rebuild differs.

  $ cd d && echo $(find . | sort) && sed -n 4p out/manifest
  . ./out ./out/0001-a ./out/0002-.._x ./out/0003-. ./out/0004-_etc_x ./out/0006-_ ./out/0007-g ./out/0008-h \
    ./out/0009-a ./out/manifest
  #   the table has no valid header (brellix says "invalid image"); a rebuild writes one

A table cut short leaves entries after its end: --extract warns of them and, as it leaves them out, fails.

  $ mkimg a=nine b=nine c=nine && poke img 0x4020 00 &&
  >   mktinyfs --extract img s1 | tail -1; exit ${PIPESTATUS[0]}
  The manifest builds again all that brellix sees; 127 other bytes (stale data outside the files, the table \
    and the device-identifier record) are not carried.
  ! mktinyfs: warning: entry-shaped slots after the end of the table: 2 (a table cut short?); --salvage \
  !   extracts them too
  [1]

--extract --salvage extracts them too, under a comment saying where they came from: the rebuild holds them.

  $ mktinyfs --extract img s2 --salvage >/dev/null && mktinyfs re @s2/manifest && brellix -q -d re -e c &&
  >   grep -A2 '^# Entries' s2/manifest
  # Entries found after the end of the table (--salvage):
  b=0002-b --offset 0xc1e0
  c=0003-c

A device identifier that shares its area with a file's contents cannot be rebuilt.

  $ mkimg w=nine --offset 0x83fff7 &&
  >   printf 'DEVICE_ID1\0' | dd of=img bs=1 seek=$((0x83ffc0)) conv=notrunc status=none
  > mktinyfs --extract img r >/dev/null
  ! mktinyfs: cannot be rebuilt as it is: the device-identifier record "1" lies partly under a file's \
  !   contents: mktinyfs cannot write both
  [1]

Files that overlap too often are not all extracted, and named: the folder holds at most twice the device.

  $ mkimg a= b= c= && for n in 1 2 3; do slot $n offset 0xc000; slot $n size 0x833fc0; done
  > mktinyfs --extract img big 2>&1 >/dev/null | grep 'not extracted'; du -s --block-size=1M big
  mktinyfs: cannot be rebuilt as it is: file "c" (0xc000 + 0x833fc0) is not extracted: the files before it \
    already hold twice the device's bytes
  17	big

An @FILE stands for its words (paths from its folder; tabs, CRs part words; quotes, escapes: any byte).

  $ mkdir m && printf '# files\nb=../nine --name "\\x41 \\"B\\"#"\n@more\n' >m/list && cp nine m &&
  >   printf '\tc=nine\r\n"--n"ame \\\\ # no line end' >m/more
  $ mktinyfs img --device-id @x @m/list a=nine && brellix -d img -l | tail -n +2
  A "B"#               | 9 bytes          | 99% growable  (471 bytes left)
  \                    | 9 bytes          | 100% growable (1047 bytes left)
  a                    | 9 bytes          | 100% growable (8600055 bytes left)

The value of an option is no @FILE: "@x" is the device identifier.

  $ brellix -q -d img -gdid
  @x

A byte-order mark an editor put before an @FILE's first word is skipped; anywhere else it is bytes of a word.

  $ printf '\xef\xbb\xbfa=nine \xef\xbb\xbfb=nine\n' >bom; mktinyfs img @bom && brellix -q -d img -e a &&
  >   brellix -q -d img -e $'\xef\xbb\xbfb'

Refusals of --extract, of @FILE and of the new file options, and a lost report: one line each, status 1.

  $ mkfifo fifo; head -c 9 /dev/zero >short; mkdir full && touch full/x full/y; printf '"a' >q
  > printf 'a\\q' >e; printf '"a\nb"' >n; printf 'a\\x00' >z; echo @loop >loop
  > head -c 1100000 /dev/zero >huge; printf 'a\0' >z0; printf 'a\\' >e0; printf 'a\\xg0' >e1
  > printf 'a\\x0g' >e2
  > refused mktinyfs '--extract fifo x' '--extract short x' '--extract img full' '--extract img nine' \
  >   '--extract img nine/x' '--extract img' 'x @q' 'x @n' 'x @e' 'x @z' 'x @z0' 'x @e0' 'x @e1' 'x @e2' \
  >   'x @loop' 'x @huge' 'x @nofile' \
  >   'x a= --checksum 0x10000' '--extract img x --extract img y' '--extract img x out' '--salvage img' \
  >   'x a= --name b --name c' '--extract img o5 >/dev/full'
  ! --extract fifo x: mktinyfs: "fifo" is not an image of 0x840000 bytes: it is not a regular file
  ! --extract short x: mktinyfs: "short" is not an image of 0x840000 bytes: it has 9 bytes
  ! --extract img full: mktinyfs: "full" is not empty: --extract writes only into a new or empty folder
  ! --extract img nine: mktinyfs: cannot open the folder "nine": Not a directory
  ! --extract img nine/x: mktinyfs: cannot create "nine/x": Not a directory
  ! --extract img: mktinyfs: --extract needs a value
  ! x @q: mktinyfs: "@q" line 1: a double quote that is never closed
  ! x @n: mktinyfs: "@n" line 1: a line end inside double quotes (a quote is missing)
  ! x @e: mktinyfs: "@e" line 1: an invalid escape "\\q" (use \\, \" or \xHH)
  ! x @z: mktinyfs: "@z" line 1: a zero byte, which no argument can hold
  ! x @z0: mktinyfs: "@z0" line 1: a zero byte, which no argument can hold
  ! x @e0: mktinyfs: "@e0" line 1: an invalid escape "\\" (use \\, \" or \xHH)
  ! x @e1: mktinyfs: "@e1" line 1: an invalid escape "\\xg0" (use \\, \" or \xHH)
  ! x @e2: mktinyfs: "@e2" line 1: an invalid escape "\\x0g" (use \\, \" or \xHH)
  ! x @loop: mktinyfs: @FILEs nest more than 16 deep at "loop" (does one name itself?)
  ! x @huge: mktinyfs: "huge" is larger than 1 MiB
  ! x @nofile: mktinyfs: cannot read "nofile": No such file or directory
  ! x a= --checksum 0x10000: mktinyfs: --checksum "0x10000" does not fit 16 bits (at most 0xffff)
  ! --extract img x --extract img y: mktinyfs: --extract given twice
  ! --extract img x out: mktinyfs: --extract IMAGE DIR takes no other arguments but --salvage
  ! --salvage img: mktinyfs: --salvage goes with --extract IMAGE DIR
  ! x a= --name b --name c: mktinyfs: --name given twice for "b"
  ! --extract img o5 >/dev/full: mktinyfs: cannot write standard output: No space left on device

DIR is a folder only the running account may change: a link and a folder every account may write are refused.

  $ mkdir real open && chmod 777 open && ln -s real lnk
  > refused mktinyfs '--extract img lnk' '--extract img open'; ls real
  ! --extract img lnk: mktinyfs: "lnk" is a symbolic link: --extract follows none (give the folder itself)
  ! --extract img open: mktinyfs: "open" may be written by every account: --extract writes only into a \
  !   folder no other account can change

A new DIR is the running account's alone, whatever the umask (catches a folder others may read).

  $ (umask 0; mktinyfs --extract img mine >/dev/null) && stat -c %a mine
  700

--extract holds the image still: a writer's lock on it (as brellix -w takes) keeps it waiting, then refuses.

  $ mkimg c=nine; holding -x mktinyfs --extract img lk; test ! -e lk
  ! mktinyfs: device is locked by another process (img)

A manifest that cannot be written whole (a full disk) fails the run and is left under no name.

  $ faults 'mktinyfs --extract img fu >/dev/null' '@fu/manifest.partial write:error=ENOSPC'; ls fu
  0001-c
  ! @fu/manifest.partial write:error=ENOSPC: mktinyfs: cannot write "fu/manifest": No space left on device

As root, another account's folder is refused, empty or not, and so is a link another account planted as DIR.

  $ [ $(id -u) = 0 ] || skip root; chmod 711 . && mkdir -m 1777 pub &&
  >   setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c 'mkdir pub/theirs && ln -s theirs pub/out'
  > refused mktinyfs '--extract img pub/theirs' '--extract img pub/out'; ls pub/theirs
  ! --extract img pub/theirs: mktinyfs: "pub/theirs" belongs to another account (uid 65534): --extract \
  !   writes only into a folder of the account that runs it
  ! --extract img pub/out: mktinyfs: "pub/out" is a symbolic link: --extract follows none (give the folder \
  !   itself)
