Without memory for the file being copied (8 MB in 9 MiB of address space) the run reports a failed allocation;
builds with sanitizers, or under valgrind or an emulator, do not start in so little and skip.

  $ head -c 8000000 /dev/zero >8mb && mkimg a=8mb && (ulimit -v 9216; brellix -q -d img -l || exit) \
  >   2>/dev/null || skip a build that starts in 9 MiB; (ulimit -v 9216; brellix -q -d img -r a x)
  ! Fatal: unknown problem occured
  [1]
