Without memory for the copy (8 MB in 9 MiB) the run reports the failed allocation; sanitized builds skip.

  $ head -c 8000000 /dev/zero >8mb && mkimg a=8mb && (ulimit -v 9216; brellix -q -d img -l || exit) \
  >   2>/dev/null || skip a build that starts in 9 MiB; (ulimit -v 9216; brellix -q -d img -r a x)
  ! Fatal: unknown problem occured
  [1]
