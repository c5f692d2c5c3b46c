The listing shows name, size, the share of the room still free and the bytes left.

  $ head -c 123 /dev/zero >k; printf 'console=ttyS0\n' >c
  > mkimg kernel=k --offset 0x10000 --load 0x800 --x logo= --offset 0x100c8 --ax \
  >   cfg=c --offset 0x102c8 --no-checksum a-name-15-bytes=c --flags 0x8031
  > slot 1 flags 0x01d00006; slot 2 flags 0xffff0008; brellix -d img -l
  ** using device img
  kernel               | 123 bytes        | 39% growable  (77 bytes left)
  logo                 | 0 bytes          | 100% growable (512 bytes left)
  cfg                  | 14 bytes         | 95% growable  (266 bytes left)
  a-name-15-bytes      | 14 bytes         | 100% growable (8584210 bytes left)

--verbose adds the checksum and the flags: L(load address), X, B (empty) and Ax.

  $ brellix -d img -l -v | sed 1d
  kernel               | 123 bytes        | Sum: 0x1d0   | L(0x800)X       | 39% growable  (77 bytes left)
  logo                 | 0 bytes          | Sum: 0xffff  | BAx             | 100% growable (512 bytes left)
  cfg                  | 14 bytes         | Sum: 0x0     |                 | 95% growable  (266 bytes left)
  a-name-15-bytes      | 14 bytes         | Sum: 0x6e62  |                 | 100% growable (8584210 bytes left) (wide)

Under --quiet the listing prints nothing, and it never writes.

  $ snap; brellix -q -d img --list --verbose; unchanged

A load address bounds the room below the next higher one.

  $ mkimg a=k --load 0x1000 b=k --offset 0x20000 --load 0x1080 c=k --offset 0x30000
  > brellix -d img -l | sed 1d
  a                    | 123 bytes        | 4% growable   (5 bytes left)
  b                    | 123 bytes        | 100% growable (65413 bytes left)
  c                    | 123 bytes        | 100% growable (8454021 bytes left)

A file larger than its room is listed with wrapped figures, and ends the listing.

  $ slot 2 size 0x20001; brellix -d img -l
  ** using device img
  a                    | 123 bytes        | 4% growable   (5 bytes left)
  b                    | 131073 bytes     | 4294967196% growable (4294901759 bytes left)
  ! Fatal: File system corrupt! (b)
  [1]

The sizes are checked under --quiet too.

  $ slot 2 size 0xffffffff; brellix -q -d img -l
  ! Fatal: File system corrupt! (b)
  [1]

Distances compare as signed numbers: a follower 2 GiB away or more beats a nearer one.

  $ mkimg a=k b=c c=c; slot 2 offset 0x9000c000; slot 3 offset 0x840000; slot 3 size 0
  > brellix -d img -l | sed 1d
  a                    | 123 bytes        | 100% growable (2415918981 bytes left)
  b                    | 14 bytes         | 100% growable (1887649778 bytes left)
  c                    | 0 bytes          | 100% growable (2407317504 bytes left)

Else the nearest follower bounds the room; a file at the device end has none: 0% growable.

  $ slot 2 offset 0; brellix -d img -l | sed 1d
  a                    | 123 bytes        | 100% growable (8601477 bytes left)
  b                    | 14 bytes         | 100% growable (16370 bytes left)
  c                    | 0 bytes          | 0% growable   (0 bytes left)
