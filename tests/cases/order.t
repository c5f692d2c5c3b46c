Commands run in one fixed order; the first failure ends the run; -rs makes it all quiet.

  $ printf 123456789 >nine; printf 0123456789 >ten
  $ mkimg --device-id OLD --mac 00:00:00:00:00:00 a=nine b=nine
  $ brellix -d img -w b ten -mv a c -c -e a -r a out -l -gdid -sdid NEW -gm -sm 0a:1b:2c:3d:4e:5f
  ** using device img
  ** Using new MAC-Address "0a:1b:2c:3d:4e:5f".
  ** Current MAC-Address: 0a:1b:2c:3d:4e:5f
  NEW
  a                    | 9 bytes          | 99% growable  (471 bytes left)
  b                    | 9 bytes          | 100% growable (1047 bytes left)
  mac-address          | 17 bytes         | 100% growable (8600047 bytes left)
  ** File exists.
  ** Checking media integrity...
  ** Checking boot-time integrity...
  ** Checking content integrity...
    * Checking a...
    * Checking b...
    * Skip checking mac-address (no checksum)...
  Filesystem is ready and clean.
  ** Renaming to c
  $ mktinyfs exp --device-id NEW --mac 0a:1b:2c:3d:4e:5f c=nine b=ten && cmp exp img && cmp nine out
  $ brellix -d img -sm 11:11:11:11:11:11 -l -mv x y -w b nine; brellix -q -d img -e x -mv b d
  ** using device img
  ** Using new MAC-Address "11:11:11:11:11:11".
  c                    | 9 bytes          | 99% growable  (471 bytes left)
  b                    | 10 bytes         | 100% growable (1046 bytes left)
  mac-address          | 17 bytes         | 100% growable (8600047 bytes left)
  ! Fatal: file entry not found ("x")
  [1]
  $ brellix -d img -rs c -gm -gdid -l -c
  NEW
  123456789 (no-eol)
  $ brellix -d img -e c -h | sed -n 1,4p
  ** using device img
  ** File exists.
  Help Screen
  
