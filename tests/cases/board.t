The MAC address: the first 17 bytes of "mac-address", rewritten in place; all else stays.

  $ printf '00:00:00:00:00:00-tail' >m; printf '0a:1b:2c:3d:4e:5f-tail' >new; printf 'ab\0cdefghijklmnopq' >z
  $ mkimg mac-address=m --no-checksum; brellix -d img -sm 0a:1b:2c:3d:4e:5f -gm
  ** using device img
  ** Using new MAC-Address "0a:1b:2c:3d:4e:5f".
  ** Current MAC-Address: 0a:1b:2c:3d:4e:5f
  $ mktinyfs exp mac-address=new --no-checksum && cmp exp img; brellix -d img -sm 'any 17 bytes, ok!' -gm | tail -1
  ** Current MAC-Address: any 17 bytes, ok!
  $ brellix -q -d img -sm 0a:1b:2c:3d:4e -gm; brellix -q -d /no/img -sm 0a:1b:2c:3d:4e:5f:0
  ! Fatal: Invalid MAC-Address ("0a:1b:2c:3d:4e"
  ! Fatal: Invalid MAC-Address ("0a:1b:2c:3d:4e:5f:0"
  [1]
  $ brellix -d /no/img -sm 00-11-22-33-44-55
  ** using device /no/img
  ** Using new MAC-Address "00-11-22-33-44-55".
  ! Fatal: unable to open device
  [1]
  $ mkimg mac-address=m; brellix -q -d img -sm 0a:1b:2c:3d:4e:5f -c
  ! Fatal: CheckSum error: 0x1feb != 0x649c!
  [1]
  $ mkimg mac-address=z; brellix -d img -gm -q; brellix -d img -gm; head -c 16 m >m16
  ** using device img
  ** Current MAC-Address: ab
  $ mkimg mac-address=m16; brellix -q -d img -gm; brellix -q -d img -sm 0a:1b:2c:3d:4e:5f; unchanged
  ! Fatal: *** BUG in cTinyFsFile::read: iSize too big!
  ! Fatal: *** BUG in cTinyFsFile::patch: iSize too big!
  $ mkimg a=m; brellix -q -d img -gm; head -c 8650752 /dev/zero >img; brellix -q -d img -gm
  ! Fatal: file entry not found ("mac-address")
  ! Fatal: invalid image
  [1]

The device identifier: "DEVICE_ID", it, a zero byte, "DEVICE_ID" in the last 64 bytes.

  $ mkimg; brellix -d img -sdid BX-0042 -gdid; peek img 0x83ffc0 64
  ** using device img
  BX-0042
  4445564943455f494442582d30303432004445564943455f4944ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff
  $ brellix -q -d img -sdid '' -gdid; peek img 0x83ffc0 24
  
  4445564943455f4944004445564943455f4944564943455f
  $ brellix -q -d img -sdid 0123456789abcdef0123456789abcdef; peek img 0x83ffc0 52
  4445564943455f49443031323334353637383961626364656630313233343536373839616263646566004445564943455f4944ff
  $ brellix -d /no/img -sdid 0123456789abcdef0123456789abcdefX
  ** using device /no/img
  ! Fatal: Device id too large (max 32 characters)
  [1]
  $ poke img 0x83ffe9 ff; brellix -q -d img -gdid; poke img 0x83ffc8 00; brellix -q -d img -gdid
  
  ! Fatal: No device id!
  [1]
  $ head -c 8650752 /dev/zero >img; brellix -q -d img -sdid X -gdid -l
  X
  ! Fatal: invalid image
  [1]
