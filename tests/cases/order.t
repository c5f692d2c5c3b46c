Commands run in one fixed order, whatever their order on the command line.

  $ printf 123456789 >nine; printf 0123456789 >ten
  > mkimg --device-id OLD --mac 00:00:00:00:00:00 a=nine b=nine
  > brellix -d img -w b ten -mv a c -c -e a -r a out -l -gdid -sdid NEW -gm -sm 0a:1b:2c:3d:4e:5f
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

Each command works on what the one before it wrote.

  $ mktinyfs exp --device-id NEW --mac 0a:1b:2c:3d:4e:5f c=nine b=ten && cmp exp img && cmp nine out

The first failure ends the run: later commands do not run.

  $ brellix -d img -sm 11:11:11:11:11:11 -l -mv x y -w b nine
  ** using device img
  ** Using new MAC-Address "11:11:11:11:11:11".
  c                    | 9 bytes          | 99% growable  (471 bytes left)
  b                    | 10 bytes         | 100% growable (1046 bytes left)
  mac-address          | 17 bytes         | 100% growable (8600047 bytes left)
  ! Fatal: file entry not found ("x")
  [1]

A missing file ends --exists silently with status 1, and the run with it.

  $ brellix -q -d img -e x -mv b d; echo $?; brellix -q -d img -e b
  1

--read-stdout makes the whole run quiet: only the identifier and the contents print.

  $ brellix -d img -rs c -gm -gdid -l -c
  NEW
  123456789 (no-eol)

--help shows the help screen after the commands.

  $ brellix -d img -e c -h | sed -n 1,4p
  ** using device img
  ** File exists.
  Help Screen
  
