A closed standard output fails the run before the device is touched, even with no /dev/null (stand-in: "/").

  $ printf 123456789 >nine; printf 0123456789 >ten; mkimg a=nine b=ten; refused '' 'brellix -d img -l >&-' \
  >   'fault @/dev/null open:error=ENOENT -- brellix -d img -l >&-'; unchanged
  ! brellix -d img -l >&-: Fatal: unable to write data
  ! fault @/dev/null open:error=ENOENT -- brellix -d img -l >&-: Fatal: unable to write data

A terminal as the local file of --write is refused, as it cannot be measured, instead of read until it ends.

  $ onterminal 'brellix -q -d img -w a /dev/tty'
  Fatal: seek error

With standard input, output and error closed the run fails all the same, silently.

  $ brellix -d img -l 0<&- 1>&- 2>&-; echo $?; unchanged
  1

A quiet command needs no standard output: the rename is made, and the device keeps its size.

  $ brellix -q -d img -mv a c 1>&-; brellix -q -d img -e c && wc -c <img
  8650752

A closed pipe ends the run at once: the rename after the listing is not made.

  $ mkimg a=nine b=nine; (sleep 0.3; brellix -d img -l -mv a c; echo "[$?]" >&2) | true; unchanged
  ! Fatal: unable to write data
  ! [1]

--read never writes the device, named by its path, a link or another name.

  $ ln -s img link; ln img hard; for to in img link hard; do brellix -q -d img -r a $to; done; unchanged
  ! Fatal: local file is the device itself (img)
  ! Fatal: local file is the device itself (link)
  ! Fatal: local file is the device itself (hard)

A source that holds more than it measured fails before those bytes are written.

  $ brellix -q -d img -w a /dev/zero; unchanged
  ! Fatal: local file has more than its measured 0 bytes (/dev/zero)

Files under /proc and /sys, which measure 0, are read whole first and copy in.

  $ mkimg a= --room 2000 b=; for f in /proc/version /sys/class/net/lo/address; do
  >   brellix -q -d img -w a $f && brellix -q -d img -rs a | cmp - $f; done

One whose read fails (strace fails it) fails the run, and the file in the image keeps its contents.

  $ snap; fault @/proc/version read:error=EIO -- brellix -q -d img -w a /proc/version; unchanged
  ! Fatal: unable to read data

A local file's read or write that a signal interrupts before moving a byte is made again (the first of each).

  $ seq 100 >s; for c in '-w a s' '-r a x'; do
  >   fault @s @x read:error=EINTR:when=1 write:error=EINTR:when=1 -- brellix -q -d img $c; done; cmp s x

A run waits for another that holds the device, then does its work.

  $ slowly brellix -q -d img -w a nine & sleep 0.2; brellix -q -d img -w b ten; wait
  > brellix -q -d img -rs a | cmp - nine && brellix -q -d img -rs b | cmp - ten

Readers share the device; a writer waits for them, then gives up.

  $ holding -s eval 'brellix -q -d img -c && brellix -q -d img -w a ten'
  ! Fatal: device is locked by another process (img)
  [1]
