Standard output on the device fails the run before anything is printed there.

  $ printf 123456789 >nine; printf 0123456789 >ten; mkimg a=nine --room 0x20000 b=ten
  > brellix -q -d img -rs a 1<>img; unchanged
  ! Fatal: standard output is the device itself (img)

With standard error on the device, the failure (a command-line error's too) shows on standard output.

  $ brellix -d img -l --bogus 2<>img; unchanged
  Fatal: standard error is the device itself (img)

With both on the device it shows nowhere, and the status tells.

  $ brellix -d img -l 1<>img 2>&1; echo "[$?]"; unchanged
  [1]

--read onto a FIFO that nobody reads fails.

  $ mkfifo fifo; brellix -q -d img -r a fifo
  ! Fatal: local file is a FIFO without a reader (fifo)
  [1]

--read onto a FIFO copies to its reader, even one that comes a moment later.

  $ (sleep 0.2; cat fifo) & brellix -q -d img -r b fifo; wait
  0123456789 (no-eol)

--write from a FIFO fails at once: it waits neither for a writer nor for the device.

  $ holding -x timeout 4 brellix -q -d img -w a fifo
  ! Fatal: seek error
  [1]

A regular file that reports no length (a cgroup file here) is read whole, whatever its file system.

  $ f=$(ls /sys/fs/cgroup/{,*/}cgroup.{controllers,clone_children} /proc/version 2>/dev/null | head -1)
  > brellix -q -d img -w a $f && brellix -q -d img -rs a | cmp - $f

A source that changes while copied (here it shrinks) fails, saying that the file in the image is damaged.

  $ seq 20000 >big; fault @big read:retval=0:when=2 -- brellix -q -d img -w a big
  ! Fatal: local file has fewer than its measured 108894 bytes (big); "a" in the image is now damaged, write \
  !   it again
  [1]
