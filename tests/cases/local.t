Data stays where it belongs. Output to a closed descriptor or pipe is lost output: it
never lands on the device, and it ends the run.

  $ printf 123456789 >nine; printf 0123456789 >ten; mkimg a=nine b=ten
  $ brellix -d img -l >&-; brellix -d img -l 0<&- 1>&- 2>&-; echo $?; brellix -q -d img -rs a >&-
  1
  ! Fatal: unable to write data
  ! Fatal: unable to write data
  [1]
  $ unchanged; brellix -q -d img -mv a c 1>&-; wc -c <img; brellix -d img -l 2>&- | sed -n 2p
  8650752
  c                    | 9 bytes          | 99% growable  (471 bytes left)
  $ mkimg a=nine b=nine; (sleep 0.3; brellix -d img -l -mv a c; echo "[$?]" >&2) | true; unchanged
  ! Fatal: unable to write data
  ! [1]
