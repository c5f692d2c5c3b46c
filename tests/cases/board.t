--set-mac stores the address in "mac-address" and --get-mac reads it back.

  $ printf '00:00:00:00:00:00-tail' >m; mkimg mac-address=m --no-checksum
  > brellix -d img -sm 0a:1b:2c:3d:4e:5f -gm
  ** using device img
  ** Using new MAC-Address "0a:1b:2c:3d:4e:5f".
  ** Current MAC-Address: 0a:1b:2c:3d:4e:5f

Only the first 17 bytes change: the rest of the file, its size and its FAT entry stay.

  $ printf '0a:1b:2c:3d:4e:5f-tail' >new; mktinyfs exp mac-address=new --no-checksum && cmp exp img

The address is text of any 17 bytes.

  $ brellix -q -d img -sm 'any 17 bytes, ok!' && brellix -d img -gm | tail -1
  ** Current MAC-Address: any 17 bytes, ok!

An address of another length is refused before the device is opened.

  $ refused 'brellix -q -d /no/img -sm' 0a:1b:2c:3d:4e 0a:1b:2c:3d:4e:5f:0
  ! 0a:1b:2c:3d:4e: Fatal: Invalid MAC-Address ("0a:1b:2c:3d:4e"
  ! 0a:1b:2c:3d:4e:5f:0: Fatal: Invalid MAC-Address ("0a:1b:2c:3d:4e:5f:0"

The checksum stays as it was: a checksummed "mac-address" fails the check after --set-mac.

  $ mkimg mac-address=m; brellix -q -d img -sm 0a:1b:2c:3d:4e:5f -c
  ! Fatal: CheckSum error: 0x1feb != 0x649c!
  [1]

--get-mac prints the text up to its first zero byte.

  $ printf 'ab\0cdefghijklmnopq' >z; mkimg mac-address=z; brellix -d img -gm
  ** using device img
  ** Current MAC-Address: ab

A "mac-address" shorter than 17 bytes is not read past its end, nor written past it: the image stays.

  $ head -c 16 m >m16; mkimg mac-address=m16; refused 'brellix -q -d img' -gm '-sm 0a:1b:2c:3d:4e:5f'
  > unchanged
  ! -gm: Fatal: *** BUG in cTinyFsFile::read: iSize too big!
  ! -sm 0a:1b:2c:3d:4e:5f: Fatal: *** BUG in cTinyFsFile::patch: iSize too big!

The identifier lies in the last 64 bytes as "DEVICE_ID", it, a zero byte, "DEVICE_ID"; shown even under -q.

  $ mkimg; brellix -q -d img -sdid BX-0042 -gdid; peek img 0x83ffc0 64
  BX-0042
  4445564943455f494442582d30303432004445564943455f4944ffffffffffff
  ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff

An empty identifier is stored too, and read back empty; the bytes after the shorter record are not written.

  $ brellix -q -d img -sdid '' -gdid; peek img 0x83ffc0 24
  
  4445564943455f4944004445564943455f4944564943455f

An identifier holds at most 32 bytes...

  $ brellix -q -d img -sdid 0123456789abcdef0123456789abcdef; peek img 0x83ffc0 52
  4445564943455f49443031323334353637383961626364656630313233343536
  373839616263646566004445564943455f4944ff

...a longer one is refused before the device is opened.

  $ brellix -d /no/img -sdid 0123456789abcdef0123456789abcdefX
  ** using device /no/img
  ! Fatal: Device id too large (max 32 characters)
  [1]

A record without a zero byte after the marker holds an empty identifier.

  $ poke img 0x83ffe9 ff; brellix -q -d img -gdid
  

Without the marker there is no identifier.

  $ poke img 0x83ffc8 00; brellix -q -d img -gdid
  ! Fatal: No device id!
  [1]

The identifier needs no tinyfs image: it is set and read on a zeroed device that --list refuses.

  $ head -c 8650752 /dev/zero >img; brellix -q -d img -sdid X -gdid -l
  X
  ! Fatal: invalid image
  [1]
