mktinyfs places files in order on page boundaries; an empty file owns up to the next page.

  $ printf 123456789 >nine; mktinyfs img a= b=nine c=nine --room 2000 d=nine; brellix -q -d img -c && brellix -d img -l -v
  ** using device img
  a                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (480 bytes left)
  b                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (1047 bytes left)
  c                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (2103 bytes left)
  d                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (8597943 bytes left)

The image gets the permissions of a new file.

  $ umask 022; mktinyfs img a=; stat -c %a img
  644

--offset puts a file anywhere outside the FAT, below it or up to the device end; the next follows it.

  $ mktinyfs img x=nine --offset 0X1000A y=nine --flags 0xfaf0 --ax z= --offset 0 e= --offset 0x1FF80 w=nine --offset 0x83fff7
  > brellix -d img -l -v
  ** using device img
  x                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (973 bytes left)
  y                    | 9 bytes          | Sum: 0xa69d  | Ax              | 100% growable (64407 bytes left)
  z                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (16384 bytes left)
  e                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (8519799 bytes left)
  w                    | 9 bytes          | Sum: 0xa69d  |                 | 0% growable   (0 bytes left)

--help shows the usage.

  $ mktinyfs --help >usage && sed -n 1p usage
  Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...

A malformed command line is refused in one line, with status 1.

  $ cp img keep; mkdir dir; ls >before; for args in '' a=nine 'img a' 'img --offset 1' 'img a= --offset' \
  >   'img a= --offset 12k' 'img a= --room -1' 'img a= --load 0x' 'img a= --offset 4294967296' \
  >   'img a= --offset 1 --offset 2' 'img a= --flags 0x10000' 'img --mac 00:11' 'img --frob'; do
  >   mktinyfs $args; [ $? = 1 ] || echo "not refused: $args"; done
  ! mktinyfs: missing OUTPUT (try --help)
  ! mktinyfs: missing OUTPUT: "a=nine" is a file, the image path comes first
  ! mktinyfs: "a" is not a file (NAME=PATH or NAME=)
  ! mktinyfs: --offset must follow a file (NAME=PATH or NAME=)
  ! mktinyfs: --offset needs a value
  ! mktinyfs: invalid number "12k" for --offset
  ! mktinyfs: invalid number "-1" for --room
  ! mktinyfs: invalid number "0x" for --load
  ! mktinyfs: number "4294967296" for --offset is out of range (at most 0xffffffff)
  ! mktinyfs: --offset given twice for "a"
  ! mktinyfs: --flags "0x10000" does not fit the 16 flag bits (at most 0xffff)
  ! mktinyfs: --mac needs 17 characters such as 00:11:22:33:44:55, not "00:11"
  ! mktinyfs: unknown option "--frob" (try --help)

Names are 1 to 15 bytes and unique; a name in a message is quoted, control bytes escaped.

  $ for args in 'img =nine' 'img 0123456789abcdef=' 'img a= a=' 'img a"b=nine a"b=nine'; do
  >   mktinyfs $args; [ $? = 1 ] || echo "not refused: $args"; done; mktinyfs img $'tab\tx=' $'tab\tx='
  ! mktinyfs: file 1 has an empty name
  ! mktinyfs: file name "0123456789abcdef" is too long (16 bytes, at most 15)
  ! mktinyfs: duplicate file name "a"
  ! mktinyfs: duplicate file name "a\"b"
  ! mktinyfs: duplicate file name "tab\x09x"
  [1]

Inputs must be readable files; OUTPUT must be replaceable.

  $ for args in 'img a=missing' 'img a=dir' 'dir a=nine'; do mktinyfs $args; [ $? = 1 ] || echo "not refused: $args"; done
  ! mktinyfs: cannot read "missing": No such file or directory
  ! mktinyfs: cannot read "dir": Is a directory
  ! mktinyfs: cannot replace "dir": Is a directory

Files stay out of the FAT, the device-identifier record and each other, and inside the device.

  $ head -c 8650752 /dev/zero >full; for args in 'img a=nine --offset 0x4000' 'img a=nine --offset 0x3ff8' \
  >   'img a=nine --offset 0x83fff8' 'img --device-id 0123456789abcdef0123456789abcdefX' \
  >   'img --device-id X a=nine --offset 0x83ffb8' 'img a=nine --offset 0x10000 b=nine --offset 0x10008' \
  >   'img a=nine --load 0x100 b=nine --load 0x104' "img $(printf 'f%d= ' $(seq 1024))" \
  >   'img a= --offset 0x840000' 'img a=full'; do mktinyfs $args; [ $? = 1 ] || echo "not refused: $args"; done
  ! mktinyfs: file "a" (0x4000 + 0x9) starts inside the FAT (0x4000..0xbfff)
  ! mktinyfs: file "a" (0x3ff8 + 0x9) runs into the FAT at 0x4000
  ! mktinyfs: file "a" (0x83fff8 + 0x9) passes the device end at 0x840000
  ! mktinyfs: device identifier "0123456789abcdef0123456789abcdefX" is too long (33 bytes, at most 32)
  ! mktinyfs: file "a" (0x83ffb8 + 0x9) runs into the device-identifier record at 0x83ffc0
  ! mktinyfs: files "a" (0x10000 + 0x9) and "b" (0x10008 + 0x9) overlap
  ! mktinyfs: file "a" (0x9 bytes) does not fit below the next higher load address: room for 0x4 bytes from load address 0x100
  ! mktinyfs: too many files (1024, at most 1023)
  ! mktinyfs: file "a" (0x840000 + 0x0) passes the device end at 0x840000
  ! mktinyfs: file "a" (0xc000 + 0x840000) passes the device end at 0x840000

Two files never share an offset, even an empty one.

  $ for files in 'a=nine --offset 0xc000 b= --offset 0xc000' 'a= b=nine c= --offset 0xc1e0'; do
  >   mktinyfs img $files; done
  ! mktinyfs: files "a" (0xc000 + 0x9) and "b" (0xc000 + 0x0) overlap
  ! mktinyfs: files "b" (0xc1e0 + 0x9) and "c" (0xc1e0 + 0x0) overlap
  [1]

An image that cannot be written whole and made durable is not left behind.

  $ (trap '' XFSZ; ulimit -f 99; mktinyfs img a=); ASAN_OPTIONS=detect_leaks=0 strace -o /dev/null -e inject=fsync:error=ENOSPC mktinyfs img a=
  ! mktinyfs: cannot write "img": File too large
  ! mktinyfs: cannot write "img": No space left on device
  [1]

No refusal left a file behind or changed OUTPUT.

  $ rm full; ls | cmp - before && cmp keep img
