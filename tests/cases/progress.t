A status line shows on a terminal after half a second of work, erased before other lines.

  $ seq 200000 >big; seq 200001 >new; mkimg big=big
  $ onterminal 'slowly brellix -d img -c' | tail -2
    * Checking big...
  \|big: \d+ of 1288895 bytes \(\d\d?%\)(\|big: \d+ of 1288895 bytes \(\d+%\))*\|Filesystem is ready and clean\. (re)
  $ onterminal 'slowly brellix -d img -w big new'
  ** using device img
  (\|big: \d+ of 1288902 bytes \(\d+%\))+\| \(no-eol\) (re)
  $ onterminal 'brellix -d img -c' | tail -1; onterminal 'slowly brellix -q -d img -c -r big x'; slowly brellix -d img -r big x 2>&1 >/dev/null
  Filesystem is ready and clean.
