On a terminal a status line shows after half a second of work, erased before the next line.

  $ seq 200000 >big; mkimg big=big; onterminal 'slowly brellix -d img -c' | tail -2
    * Checking big...
  \|big: \d+ of 1288895 bytes \(\d\d?%\)(\|big: \d+ of 1288895 bytes \(\d+%\))*\|Filesystem is ready and \
    clean\. (re)

--write shows one too, erased when it ends.

  $ seq 200001 >new; onterminal 'slowly brellix -d img -w big new'
  ** using device img
  (\|big: \d+ of 1288902 bytes \(\d+%\))+\| \(no-eol\) (re)

Work that ends sooner shows none, nor does --quiet, nor a standard error that is no terminal.

  $ onterminal 'brellix -d img -c' | tail -1; onterminal 'slowly brellix -q -d img -c -r big x'
  > slowly brellix -d img -r big x 2>&1 >/dev/null
  Filesystem is ready and clean.

A failure that ends the run at once erases the status line before its one line.

  $ slot 1 flags 0x12340000; onterminal 'slowly brellix -d img -r big x' | tail -1
  (\|big: \d+ of 1288902 bytes \(\d+%\))+\|Fatal: Checksum error would produce invalid output \(use --force \
    to write nevertheless\) (re)

A signal held while the write is finished shows on the line.

  $ seq 2 200001 >new2; onterminal 'fault @img read:delay_exit=50000 write:signal=SIGINT:when=1 -- \
  >   brellix -d img -w big new2' | tail -1
  (\|big: \d+ of 1288900 bytes \(\d+%\), interrupted: finishing the write)+\|Fatal: interrupted by SIGINT: \
    --write was finished first, the image is consistent (re)

A name's bytes below 0x20 and 0x7f show as \xHH on the line too.

  $ poke img 0x4020 620a1b67; onterminal 'slowly brellix -d img -r %0 x' | tail -1
  (\|b\\x0a\\x1bg: \d+ of 1288900 bytes \(\d+%\))+\| \(no-eol\) (re)
