mktinyfs places files in order on page boundaries; an empty file owns up to the next page.

  $ printf 123456789 >nine; mktinyfs img a= b=nine c=nine --room 2000 d=nine
  > brellix -q -d img -c && brellix -d img -l -v | sed 1d
  a                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (480 bytes left)
  b                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (1047 bytes left)
  c                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (2103 bytes left)
  d                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (8597943 bytes left) (wide)

The image gets the permissions of a new file.

  $ umask 022; mktinyfs img a=; stat -c %a img
  644

--offset puts a file anywhere outside the FAT, below it or up to the device end; the next follows it.

  $ mktinyfs img x=nine --offset 0X1000A y=nine --flags 0xfaf0 --ax z= --offset 0 e= --offset 0x1FF80 \
  >   w=nine --offset 0x83fff7 && brellix -d img -l -v | sed 1d
  x                    | 9 bytes          | Sum: 0xa69d  |                 | 100% growable (973 bytes left)
  y                    | 9 bytes          | Sum: 0xa69d  | Ax              | 100% growable (64407 bytes left)
  z                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (16384 bytes left)
  e                    | 0 bytes          | Sum: 0x0     | B               | 100% growable (8519799 bytes left) (wide)
  w                    | 9 bytes          | Sum: 0xa69d  |                 | 0% growable   (0 bytes left)

--help shows the usage in at most 40 lines of at most 80 columns, and names the manual page.

  $ mktinyfs --help >usage && awk 'NR > 40 || length > 80 { print "long: " NR }' usage; grep '(1)\|^U' usage
  Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...
  See mktinyfs(1) for the layout rules, @FILEs and manifests, every message and

--mac adds a file: with no other file it still replaces an image with files.

  $ mktinyfs img a=nine && mktinyfs img --mac 00:11:22:33:44:55 && brellix -d img -l | sed 1d
  mac-address          | 17 bytes         | 100% growable (8601583 bytes left)

All inputs stay open from measuring to reading, past a low soft limit of descriptors (not under valgrind).

  $ [[ $BRELLIX_WRAPPER == *valgrind* ]] || (ulimit -Sn 40; mktinyfs img $(printf 'f%d=nine ' $(seq 50)))

A malformed command line, or an OUTPUT that cannot be replaced, is refused in one line, with status 1.

  $ cp img keep; mkdir dir; ls >before; refused mktinyfs '' "''" a=nine 'img a' 'img --offset 1' \
  >   'img a= --offset' 'img a= --offset 12k' 'img a= --room -1' 'img a= --room 0b1' 'img a= --load 0x' \
  >   'img a= --offset 4294967296' 'img a= --offset 1 --offset 2' 'img a= --flags 0x10000' 'img --mac 00:11' \
  >   'img --frob' 'dir a=nine'
  ! : mktinyfs: missing OUTPUT (try --help)
  ! '': mktinyfs: empty OUTPUT path
  ! a=nine: mktinyfs: missing OUTPUT: "a=nine" is a file, the image path comes first
  ! img a: mktinyfs: "a" is not a file (NAME=PATH or NAME=)
  ! img --offset 1: mktinyfs: --offset must follow a file (NAME=PATH or NAME=)
  ! img a= --offset: mktinyfs: --offset needs a value
  ! img a= --offset 12k: mktinyfs: invalid number "12k" for --offset
  ! img a= --room -1: mktinyfs: invalid number "-1" for --room
  ! img a= --room 0b1: mktinyfs: invalid number "0b1" for --room
  ! img a= --load 0x: mktinyfs: invalid number "0x" for --load
  ! img a= --offset 4294967296: mktinyfs: number "4294967296" for --offset is out of range (at most \
  !   0xffffffff)
  ! img a= --offset 1 --offset 2: mktinyfs: --offset given twice for "a"
  ! img a= --flags 0x10000: mktinyfs: --flags "0x10000" does not fit the 16 flag bits (at most 0xffff)
  ! img --mac 00:11: mktinyfs: --mac needs 17 characters such as 00:11:22:33:44:55, not "00:11"
  ! img --frob: mktinyfs: unknown option "--frob" (try --help)
  ! dir a=nine: mktinyfs: cannot replace "dir": Is a directory

Names are 1 to 15 unique bytes (quoted, control bytes escaped), inputs readable files; files stay out of the
FAT, the identifier record and each other (in order given, even empty ones at one offset); in the device.

  $ head -c 8650752 /dev/zero >full; refused 'mktinyfs img' =nine 0123456789abcdef= 'a= a=' \
  >   'a\"b=nine a\"b=nine' "\$'tab\t\x7fx=' \$'tab\t\x7fx='" a=missing a=dir 'a=nine --offset 0x4000' \
  >   'a=nine --offset 0x3ff8' 'a=nine --offset 0x83fff8' '--device-id 0123456789abcdef0123456789abcdefX' \
  >   '--device-id X a=nine --offset 0x83ffb8' 'a=nine --offset 0x10000 b=nine --offset 0x10008' \
  >   'a= --offset 0xc004 b=nine --offset 0xc000' 'a=nine --load 0x100 b=nine --load 0x104' \
  >   '$(printf "f%d= " $(seq 1024))' 'a= --offset 0x840000' a=full \
  >   'a=nine --offset 0xc000 b= --offset 0xc000' 'a= b=nine c= --offset 0xc1e0'
  ! =nine: mktinyfs: file 1 has an empty name
  ! 0123456789abcdef=: mktinyfs: file name "0123456789abcdef" is too long (16 bytes, at most 15)
  ! a= a=: mktinyfs: duplicate file name "a"
  ! a\"b=nine a\"b=nine: mktinyfs: duplicate file name "a\"b"
  ! $'tab\t\x7fx=' $'tab\t\x7fx=': mktinyfs: duplicate file name "tab\x09\x7fx"
  ! a=missing: mktinyfs: cannot read "missing": No such file or directory
  ! a=dir: mktinyfs: cannot read "dir": Is a directory
  ! a=nine --offset 0x4000: mktinyfs: file "a" (0x4000 + 0x9) starts inside the FAT (0x4000..0xbfff)
  ! a=nine --offset 0x3ff8: mktinyfs: file "a" (0x3ff8 + 0x9) runs into the FAT at 0x4000
  ! a=nine --offset 0x83fff8: mktinyfs: file "a" (0x83fff8 + 0x9) passes the device end at 0x840000
  ! --device-id 0123456789abcdef0123456789abcdefX: mktinyfs: device identifier \
  !   "0123456789abcdef0123456789abcdefX" is too long (33 bytes, at most 32)
  ! --device-id X a=nine --offset 0x83ffb8: mktinyfs: file "a" (0x83ffb8 + 0x9) runs into the \
  !   device-identifier record at 0x83ffc0
  ! a=nine --offset 0x10000 b=nine --offset 0x10008: mktinyfs: files "a" (0x10000 + 0x9) and "b" (0x10008 + \
  !   0x9) overlap
  ! a= --offset 0xc004 b=nine --offset 0xc000: mktinyfs: files "a" (0xc004 + 0x0) and "b" (0xc000 + 0x9) \
  !   overlap
  ! a=nine --load 0x100 b=nine --load 0x104: mktinyfs: file "a" (0x9 bytes) does not fit below the next \
  !   higher load address: room for 0x4 bytes from load address 0x100
  ! $(printf "f%d= " $(seq 1024)): mktinyfs: too many files (1024, at most 1023)
  ! a= --offset 0x840000: mktinyfs: file "a" (0x840000 + 0x0) passes the device end at 0x840000
  ! a=full: mktinyfs: file "a" (0xc000 + 0x840000) passes the device end at 0x840000
  ! a=nine --offset 0xc000 b= --offset 0xc000: mktinyfs: files "a" (0xc000 + 0x9) and "b" (0xc000 + 0x0) \
  !   overlap
  ! a= b=nine c= --offset 0xc1e0: mktinyfs: files "b" (0xc1e0 + 0x9) and "c" (0xc1e0 + 0x0) overlap

An image that cannot be made durable is not left behind (one a file-size limit cuts short: mkfaults.t).

  $ faults 'mktinyfs img a=' sync:error=ENOSPC
  ! sync:error=ENOSPC: mktinyfs: cannot write "img": No space left on device

No refusal left a file behind or changed OUTPUT.

  $ rm full; ls | cmp - before && cmp keep img

Files the kernel makes as read (0 bytes in /proc, a stand-in size in /sys) and devices are read whole first.

  $ c=/sys/devices/system/cpu/online; mktinyfs img v=/proc/version c=$c n=/dev/null &&
  >   brellix -q -d img -rs n &&
  >   brellix -q -d img -rs v | cmp - /proc/version && brellix -q -d img -rs c | cmp - $c
