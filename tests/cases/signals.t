Each signal that ends a process from outside, sent while --write programs, is held until the table is written,
then reported, the new contents in place; SIGPIPE does not interrupt. Emulators may shift real-time signals.

  $ seq 3000 >k; seq 2 3001 >k2; mkimg k=k2 QUIT=k USR1=k ALRM=k IO=k XCPU=k PWR=k RT_5=k RT_30=k \
  >   PIPE=k; held() { fault @"$PWD/img" write:signal="$1":when=2 -- env --default-signal brellix -q -d img \
  >   -w "${1#SIG}" k2; set "${1#SIG}" $?; brellix -q -d img -c -r "$1" x && cmp x k2 && return "$2"; }
  > refused held SIGQUIT SIGUSR1 SIGALRM SIGIO SIGXCPU SIGPWR SIGRT_5 SIGRT_30 SIGPIPE
  ! SIGQUIT: Fatal: interrupted by SIGQUIT: --write was finished first, the image is consistent
  ! SIGUSR1: Fatal: interrupted by SIGUSR1: --write was finished first, the image is consistent
  ! SIGALRM: Fatal: interrupted by SIGALRM: --write was finished first, the image is consistent
  ! SIGIO: Fatal: interrupted by SIGIO: --write was finished first, the image is consistent
  ! SIGXCPU: Fatal: interrupted by SIGXCPU: --write was finished first, the image is consistent
  ! SIGPWR: Fatal: interrupted by SIGPWR: --write was finished first, the image is consistent
  ! SIGRT_5: Fatal: interrupted by SIGRTMIN(\+\d+)?: --write was finished first, the image is consistent (re)
  ! SIGRT_30: Fatal: interrupted by SIGRTMAX-\d+: --write was finished first, the image is consistent (re)
  ! SIGPIPE: [0]

SIGINT in --rename: it completes, no later command runs; SIGHUP in --set-device-id: status 1, id whole.

  $ refused 'fault @img' 'write:signal=SIGINT:when=1 -- brellix -q -d img -mv k j -w j k' \
  >   'write:signal=SIGHUP:when=1 -- brellix -q -d img -sdid new'; brellix -q -d img -r j x && cmp x k2 &&
  >   brellix -q -d img -gdid
  new
  ! write:signal=SIGINT:when=1 -- brellix -q -d img -mv k j -w j k: Fatal: interrupted by SIGINT: --rename \
  !   was finished first, the image is consistent
  ! write:signal=SIGHUP:when=1 -- brellix -q -d img -sdid new: Fatal: interrupted by SIGHUP: --set-device-id \
  !   was finished first, the image is consistent

A failure of the command itself (the table write) is reported instead, naming the file damaged by it.

  $ fault @img read:signal=SIGTERM:when=5 write:error=EIO:when=2 -- brellix -q -d img -w j k
  ! Fatal: unable to write; "j" in the image is now damaged, write it again
  [1]

A signal the run ignores (nohup) is no request to stop: --write goes on and succeeds.

  $ (trap '' HUP; fault @img write:signal=SIGHUP:when=1 -- brellix -q -d img -w j k)

SIGTERM during --set-mac is reported too, and --get-mac after it does not run...

  $ mkimg mac-address=k --no-checksum; fault @img write:signal=SIGTERM:when=1 -- brellix -d img \
  >   -sm 0a:1b:2c:3d:4e:5f -gm
  ** using device img
  ** Using new MAC-Address "0a:1b:2c:3d:4e:5f".
  ! Fatal: interrupted by SIGTERM: --set-mac was finished first, the image is consistent
  [1]

...though the address was written.

  $ brellix -d img -gm
  ** using device img
  ** Current MAC-Address: 0a:1b:2c:3d:4e:5f
