mktinyfs --info shows every slot of the table, the board settings and the verdict of brellix --check.

  $ seq 1000 >zImage; printf 'console=ttyS0\n' >cfg; mkimg --device-id BX-0042 --mac 00:11:22:33:44:55 \
  >   kernel=zImage --load 0x20008000 --x --room 0x1000 config=cfg --no-checksum splash= --flags 0x18
  > mktinyfs --info img
  header: valid (magic word 0x12345678)
  table: 4 files, ends at slot 5
  slot  offset           size       room  flags            load        sum    computed checksum name
     1  0xc000           3893       8928  0x0006 L X       0x20008000  0x2005 0x2005   agrees   kernel
     2  0xe2e0             14       1056  0x0000           0x0         0x0000 0x6e62   none     config
     3  0xe700              0       1056  0x0018 Ax +0x10  0x0         0x0000 0x0000   none     splash
     4  0xeb20             17    8590560  0x0000           0x0         0x0000 0xd50d   none     mac-address
  mac address: 00:11:22:33:44:55
  device id: BX-0042
  check: Filesystem is ready and clean.

--json holds the same as one document: numbers as numbers, names as text and as bytes.

  $ mktinyfs --info img --json | python3 -c 'import json,sys; d=json.load(sys.stdin); f=d["files"][0]
  > print(d["schema"], d["end_slot"], d["check"]["clean"], d["device_id"]["text"], d["mac_address"]["text"])
  > print(f["name"], f["name_hex"], f["room"], f["flags"], f["flag_names"], f["checksum_computed"])'
  1 5 True BX-0042 00:11:22:33:44:55
  kernel 6b65726e656c 8928 6 ['load_address', 'x'] 8197

A name with bytes outside 0x20..0x7e is escaped as in a manifest, and given exactly in hexadecimal.

  $ brellix -q -d img -mv splash $'a "b\x01\xe9\xc3\xa9'; mktinyfs --info img | grep -o ' "a .*'
   "a \"b\x01\xe9\xc3\xa9"

In JSON the name is text, with each byte that is no UTF-8 replaced, and its exact bytes in hexadecimal.

  $ mktinyfs --info img --json | python3 -c 'import json,sys; f=json.load(sys.stdin)["files"][2]
  > print(ascii(f["name"]), f["name_hex"])'
  'a "b\x01\ufffd\xe9' 6120226201e9c3a9

The verdict is the message brellix --check ends with, and problems end with status 1.

  $ for fault in 'poke img 0xc000 00' 'slot 1 size 0x2000' 'slot 2 offset 0x900000' 'poke img 0x4010 00'; do
  >   mkimg a=zImage b=cfg; eval "$fault"; mktinyfs --info img >out; echo "$fault: $? $(tail -1 out)"
  >   brellix -q -d img -c 2>&1; done
  poke img 0xc000 00: 1 check: Fatal: CheckSum error: 0x531e != 0x2005!
  Fatal: CheckSum error: 0x531e != 0x2005!
  slot 1 size 0x2000: 1 check: Fatal: Filesystem corrupt: File "a" too big!
  Fatal: Filesystem corrupt: File "a" too big!
  slot 2 offset 0x900000: 1 check: Fatal: file exceeds device ("b")
  Fatal: file exceeds device ("b")
  poke img 0x4010 00: 1 check: Fatal: invalid image
  Fatal: invalid image
  [1]

Entry-shaped slots after the end of a table cut short are listed after it, as brellix --check finds them.

  $ mkimg a=cfg b=cfg c=cfg; poke img 0x4040 00; mktinyfs --info img | tail -n +2
  table: 1 file, ends at slot 2
  slot  offset           size       room  flags            load        sum    computed checksum name
     1  0xc000             14    8601600  0x0000           0x0         0x6e62 0x6e62   agrees   a
  entry-shaped slots after the end of the table:
  slot  offset           size       room  flags            load        sum    computed checksum name
     3  0xc600             14          -  0x0000           0x0         0x6e62 0x6e62   agrees   c
  mac address: none
  device id: none
  check: Fatal: Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c"

In JSON what the text shows as "-" is null (a checksum of contents past the device end, if only by one byte),
and the verdict comes without "Fatal: ".

  $ for at in 0x83fff2 0x83fff3; do slot 1 offset $at; mktinyfs --info img --json |
  >   python3 -c 'import json,sys; d=json.load(sys.stdin); f=d["files"][0]; c=d["check"]
  > print(f["checksum_recorded"], f["checksum_computed"], f["checksum"], d["after_end"][0]["room"],
  >   c["clean"], c["message"])'; done
  28258 38324 differs None False Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c"
  28258 None outside None False Filesystem corrupt: table ends at slot 2, but slot 3 holds file "c"

A table of 1023 files is full: it has no end slot.

  $ mkimg $(printf 'f%d= ' $(seq 1023)); mktinyfs --info img | sed -n 2p
  table: 1023 files, full

The MAC address ends at a zero byte, as brellix --get-mac reads it.

  $ printf '00:11\0:22:33:44:55' >mac; mkimg mac-address=mac; mktinyfs --info img | grep '^mac'
  mac address: 00:11

A mac-address too short for an address passes brellix --check but fails --get-mac: --info shows what it says.

  $ printf 00:11:22 >m8; mkimg mac-address=m8 && brellix -q -d img -c && mktinyfs --info img | grep '^mac'
  mac address: unreadable (brellix --get-mac: Fatal: *** BUG in cTinyFsFile::read: iSize too big!)

So for one that passes the device end; in JSON "mac_address" then holds the message alone, without "Fatal: ".

  $ printf 00:11:22:33:44:55 >m17; mkimg mac-address=m17 && slot 1 offset 0x83fff7 && brellix -q -d img -gm
  > mktinyfs --info img | grep '^mac'
  > mktinyfs --info img --json | python3 -c 'import json,sys; print(json.load(sys.stdin)["mac_address"])'
  mac address: unreadable (brellix --get-mac: Fatal: invalid seek)
  {'error': 'invalid seek'}
  ! Fatal: invalid seek

An unwritable report or unreadable image ends in one line, status 2; a failing build naming --info, 1.

  $ echo '--info img' >args; mkfifo fifo; head -c 9 cfg >short; refused mktinyfs '--info img >/dev/full' \
  >   '@args >/dev/full' 'new a=missing --name --info' '--info fifo' '--info short' '--info /dev/null'
  ! --info img >/dev/full: mktinyfs: cannot write standard output: No space left on device [2]
  ! @args >/dev/full: mktinyfs: cannot write standard output: No space left on device [2]
  ! new a=missing --name --info: mktinyfs: cannot read "missing": No such file or directory
  ! --info fifo: mktinyfs: "fifo" is not an image of 0x840000 bytes: it is not a regular file [2]
  ! --info short: mktinyfs: "short" is not an image of 0x840000 bytes: it has 9 bytes [2]
  ! --info /dev/null: mktinyfs: cannot read "/dev/null": incomplete read [2]

A device node is read as brellix reads it, and gets the verdict brellix --check would give.

  $ mktinyfs --info /dev/zero | tail -1
  check: Fatal: invalid seek

--diff shows per file what changed, was renamed or is only in one image; settings and bytes outside.

  $ mkimg kernel=zImage --room 0x1000 config=cfg --no-checksum splash= log= --mac 00:11:22:33:44:55
  > mktinyfs new --device-id X config=cfg --no-checksum --load 0x100 kernel=cfg logo= --mac 00:11:22:33:44:66
  > poke new 0 ab; mktinyfs --diff img new
  kernel: contents: 3893 -> 14 bytes, checksum 0x2005 -> 0x6e62, first difference at byte 0
  kernel: slot: 1 -> 2
  kernel: offset: 0xc000 -> 0xc1e0
  kernel: room: 8928 -> 1056
  kernel: recorded checksum: 0x2005 -> 0x6e62
  config: slot: 2 -> 1
  config: offset: 0xe2e0 -> 0xc000
  config: room: 1056 -> 480
  config: flags: 0x0000 -> 0x0002 L
  config: load address: 0x0 -> 0x100
  splash: renamed to logo, same contents
  logo: offset: 0xe700 -> 0xc600
  log: only in the old image (slot 4, 0 bytes at 0xeb20)
  mac-address: contents: 17 -> 17 bytes, checksum 0xd50d -> 0xd60e, first difference at byte 15
  mac-address: slot: 5 -> 4
  mac-address: offset: 0xef40 -> 0xca20
  mac-address: room: 8589504 -> 8599008
  mac address: 00:11:22:33:44:55 -> 00:11:22:33:44:66
  device id: none -> X
  outside 0x0..0x0: 1 of 1 bytes differ
  [1]

--diff --json holds the same, with both entries of every changed file.

  $ mktinyfs --diff img new --json | python3 -c 'import json,sys; d=json.load(sys.stdin)
  > f=d["files"]; print(d["same"], [x["change"] for x in f], f[0]["first_difference"], f[0]["new"]["size"])
  > print(f[2]["changes"], f[2]["new"]["name"], d["device_id"]["new"]["text"], d["bytes"])'
  False ['changed', 'changed', 'changed', 'only_old', 'changed'] 0 14
  ['name', 'offset'] logo X [{'area': 'outside', 'from': 0, 'to': 0, 'differ': 1}]

Images that hold the same bytes show nothing, with status 0.

  $ cp img same; mktinyfs --diff img same

A differing byte that no field shows is still named, with status 1.

  $ poke same 0x402f 01; mktinyfs --diff img same
  table 0x402f..0x402f: 1 of 1 bytes differ
  [1]

--diff names a header that changed and a file only in the new image.

  $ mkimg a=cfg; mktinyfs new a=cfg b=; poke new 0x4010 00; mktinyfs --diff img new
  header: valid (magic word 0x12345678) -> invalid (magic word 0x12345600)
  a: room: 8601600 -> 480
  b: only in the new image (slot 2, 0 bytes at 0xc1e0)
  [1]

--diff --json then holds both headers, and null for the board settings that are the same.

  $ mktinyfs --diff img new --json | python3 -c 'import json,sys; d=json.load(sys.stdin)
  > print(d["header"]); f=d["files"]
  > print([x["change"] for x in f], f[1]["old"], d["mac_address"], d["device_id"])'
  {'old': {'valid': True, 'magic': 305419896}, 'new': {'valid': False, 'magic': 305419776}}
  ['changed', 'only_new'] None None None

A rename pairs one file of the same contents, not one of the same size and checksum with other bytes.

  $ printf '\0\0\0' >z3; printf '\1\20\41' >c3; printf abc >w3; mkimg a=cfg b=cfg c=z3
  > mktinyfs new x=cfg y=c3 w=w3; mktinyfs --diff img new
  a: renamed to x, same contents
  b: only in the old image (slot 2, 14 bytes at 0xc1e0)
  c: only in the old image (slot 3, 3 bytes at 0xc600)
  y: only in the new image (slot 2, 3 bytes at 0xc1e0)
  w: only in the new image (slot 3, 3 bytes at 0xc600)
  [1]

Of files with equal contents the first in slot order is the rename; files sharing bytes compare at own length.

  $ mkimg a=zImage b=cfg c=cfg d=cfg; slot 2 offset 0xc000; slot 2 size 100; cp img new; poke new 0xc0c8 ff
  > brellix -q -d new -mv c x; brellix -q -d new -mv d y; mktinyfs --diff img new
  a: contents: 3893 -> 3893 bytes, checksum 0x2005 -> 0x12ea, first difference at byte 200
  c: renamed to x, same contents
  d: renamed to y, same contents
  [1]

A file that grew differs in its contents at its old end, though all the bytes both hold agree.

  $ (cat cfg; echo more) >cfg2; mkimg a=cfg; mktinyfs new a=cfg2; mktinyfs --diff img new
  a: contents: 14 -> 19 bytes, checksum 0x6e62 -> 0x9b3f, first difference at byte 14
  a: recorded checksum: 0x6e62 -> 0x9b3f
  [1]

So does one made longer past the device end, where the bytes inside it are the same.

  $ slot 1 offset 0x83ff00; slot 1 size 0x200; cp img old; slot 1 size 0x300; mktinyfs --diff old img
  a: contents: 512 -> 768 bytes, checksum - -> -, first difference at byte 256
  [1]

Images that differ only in the device identifier differ, with status 1.

  $ mkimg a=cfg; mktinyfs new a=cfg --device-id X; mktinyfs --diff img new
  device id: none -> X
  [1]

Differing bytes more than a page apart are separate ranges.

  $ cp img new; poke new 0 ab; poke new 0x500 abab; poke new 0x900 ab; mktinyfs --diff img new
  outside 0x0..0x0: 1 of 1 bytes differ
  outside 0x500..0x900: 3 of 1025 bytes differ
  [1]

A wrong command line with --info or --diff ends with status 2, as any trouble of theirs; --json alone with 1.

  $ refused mktinyfs '--info img --diff img img' '--info img out' '--info img --device-id X' \
  >   '--info img --mac 00:11:22:33:44:55' '--diff img img --extract img d' '--diff img img --salvage' \
  >   '--info' '--diff img' '--json' '--info img --json --json'
  ! --info img --diff img img: mktinyfs: --info or --diff given twice [2]
  ! --info img out: mktinyfs: --info IMAGE and --diff OLD NEW take no other arguments but --json [2]
  ! --info img --device-id X: mktinyfs: --info IMAGE and --diff OLD NEW take no other arguments but --json [2]
  ! --info img --mac 00:11:22:33:44:55: mktinyfs: --info IMAGE and --diff OLD NEW take no other arguments \
  !   but --json [2]
  ! --diff img img --extract img d: mktinyfs: --info IMAGE and --diff OLD NEW take no other arguments but \
  !   --json [2]
  ! --diff img img --salvage: mktinyfs: --info IMAGE and --diff OLD NEW take no other arguments but --json [2]
  ! --info: mktinyfs: --info needs a value [2]
  ! --diff img: mktinyfs: --diff needs a value [2]
  ! --json: mktinyfs: --json goes with --info IMAGE or --diff OLD NEW
  ! --info img --json --json: mktinyfs: --json given twice [2]
