--program IMAGE DEVICE puts IMAGE on DEVICE (here img), --dump DEVICE FILE reads it back. Refused in one line,
img unchanged, no FILE left: a bad IMAGE, DEVICE (folder, FIFO, other size, IMAGE), FILE (DEVICE, FIFO), words
more than the line asks.

  $ seq 3000 >k; seq 5000 >k2; mktinyfs new k=k2 a=k; mkimg k=k a=k2; mkfifo fifo; truncate -s 100 short
  > cp new bad; poke bad 0xc000 00; ln -s img link
  > refused mktinyfs '--program missing img' '--program short img' '--program bad img' '--program new .' \
  >   '--program new fifo' '--program new /dev/null' '--program img link' '--dump img link' '--dump fifo x' \
  >   '--dump img fifo' '--program new img --json' '--force --dump img x' '--dump img x --program new img'
  > unchanged && test ! -e x
  ! --program missing img: mktinyfs: cannot read "missing": No such file or directory
  ! --program short img: mktinyfs: "short" is not an image of 0x840000 bytes: it has 100 bytes
  ! --program bad img: mktinyfs: "bad" fails brellix --check: CheckSum error: 0xad59 != 0x6c7b! (--force \
  !   programs it nevertheless)
  ! --program new .: mktinyfs: cannot open ".": Is a directory
  ! --program new fifo: mktinyfs: "fifo" is neither a device node nor an image file
  ! --program new /dev/null: mktinyfs: "/dev/null" is not a device of 0x840000 bytes: it has 0 bytes
  ! --program img link: mktinyfs: DEVICE "link" is IMAGE "img" itself
  ! --dump img link: mktinyfs: OUTPUT "link" is the device itself
  ! --dump fifo x: mktinyfs: "fifo" is neither a device node nor an image file
  ! --dump img fifo: mktinyfs: OUTPUT "fifo" is a FIFO, not a regular file
  ! --program new img --json: mktinyfs: --json goes with --info IMAGE or --diff OLD NEW
  ! --force --dump img x: mktinyfs: --force goes with --program IMAGE DEVICE
  ! --dump img x --program new img: mktinyfs: --program or --dump given twice

Programming an image onto a device that holds it programs nothing (strace shows each write call on img)...

  $ programmed mktinyfs --program img.0 img
  writes:

...and otherwise each page that differs once, in runs within each piece read, but the table's header
page: the device's with its magic word cleared first, IMAGE's with the word cleared and IMAGE's last, so no
cut or tear leaves a valid table over a mix: two page programs more.

  $ differ img new; programmed mktinyfs --program new img; cmp img new
  26
  writes: 1056 5280 21120 1056 1056

Where only other pages differ, the header page is cleared first and restored last: two more.

  $ cp new new2; poke new2 0x800000 00; differ img new2; programmed mktinyfs --program new2 img; cmp img new2
  1
  writes: 1056 1056 1056

Where only the header page differs, two more too; where the device's table is already invalid, one more.

  $ poke new2 0x3f00 00; programmed mktinyfs --program new2 img; poke img 0x4010 00; differ img new
  > programmed mktinyfs --program new img; cmp img new
  writes: 1056 1056 1056
  2
  writes: 1056 1056 1056

Failing writes and syncs end --program naming the device; a dropped write in brellix's words.

  $ cp img.0 img; faults 'mktinyfs --program new img' '@img write:error=EIO' '@img write:retval=1056' \
  >   '@img write:error=EIO:when=2' '@img sync:error=EIO'
  ! @img write:error=EIO: mktinyfs: cannot program "img": unable to write
  ! @img write:retval=1056: mktinyfs: cannot program "img": flash did not take the write at byte 0x4010 \
  !   (page 15)
  ! @img write:error=EIO:when=2: mktinyfs: cannot program "img": unable to write; it now holds neither \
  !   image, run --program again
  ! @img sync:error=EIO: mktinyfs: cannot program "img": unable to sync; it now holds neither image, run \
  !   --program again

Then no brellix command mounts the device, until --program is run again.

  $ brellix -q -d img -l; mktinyfs --program new img && cmp img new
  ! Fatal: invalid image

Those of --dump leave no FILE: the device's calls, a second read unlike the first, a full disk, a failed sync.

  $ cp img.0 img; faults 'mktinyfs --dump img x' '@img read:error=EIO' '@img seek:error=ESPIPE' \
  >   '@img lock:error=ENOLCK' '@img read:retval=67584:when=129' writeat:error=ENOSPC sync:error=EIO
  > test ! -e x
  ! @img read:error=EIO: mktinyfs: cannot read "img": unable to read
  ! @img seek:error=ESPIPE: mktinyfs: cannot read "img": invalid seek
  ! @img lock:error=ENOLCK: mktinyfs: unable to lock device (img)
  ! @img read:retval=67584:when=129: mktinyfs: "img" read differently the second time, first at byte 0x0 \
  !   (page 0): nothing written
  ! writeat:error=ENOSPC: mktinyfs: cannot write "x": No space left on device
  ! sync:error=EIO: mktinyfs: cannot write "x": (Input/output error|I/O error) (re)

The device is held with brellix's own lock: a reader holding it keeps --program out, a writer --dump.

  $ holding -s mktinyfs --program new img; holding -x mktinyfs --dump img x; unchanged
  ! mktinyfs: device is locked by another process (img)
  ! mktinyfs: device is locked by another process (img)

A signal that arrives while --program programs waits until the image is whole, then ends the run saying so.

  $ fault @img write:signal=SIGTERM:when=1 -- env --default-signal=TERM mktinyfs --program new img
  > echo status $?; cmp img new
  status 1
  ! mktinyfs: interrupted by SIGTERM: --program was finished first, the image is consistent

--force programs an image that fails brellix's check, saying what the check said.

  $ mktinyfs --program bad img --force; cmp img bad
  ! mktinyfs: programming "bad" as --force asks, though brellix --check says: CheckSum error: 0xad59 != \
    0x6c7b!

--dump writes what the device holds, which --info, --diff and --extract then read.

  $ mktinyfs --dump img x && cmp x bad && mktinyfs --diff x img && mktinyfs --extract x dir >out; head -1 out
  slot 1: "k", 23893 bytes at 0xc000: 0001-k

On a terminal both show their progress, erased when they end; standard error elsewhere never sees it.

  $ onterminal 'fault @$PWD/img read:delay_exit=10000 -- mktinyfs --dump img x
  >   fault @$PWD/img read:delay_exit=10000 -- mktinyfs --program new img'
  > fault @$PWD/img read:delay_exit=10000 -- mktinyfs --program img.0 img 2>&1
  (\|reading img: \d+ of 17301504 bytes \(\d+%\))+\|(\|programming img: \d+ of 8650752 bytes \
    \(\d+%\))+\| \(no-eol\) (re)
