mktinyfs refuses in one line, leaving OUTPUT as it was: a FIFO, a device (here through a link) or a link it
cannot read (a rename would replace it), each before it opens any input, or a file whose owner it cannot keep
as OUTPUT, an input that changes size while read, inputs of unknown length larger than the device, alone or
together (one of the device's size is read whole, then placed).

  $ mkfifo fifo; ln -s /dev/null null; : >keep; printf 123456789 >nine
  > refused '' 'mktinyfs fifo a=missing' 'mktinyfs null a=' \
  >   "fault @dead readlink:error=EACCES -- sh -c 'ln -s nowhere dead; exec mktinyfs \$PWD/dead a=missing'" \
  >   'fault chown:error=EPERM -- mktinyfs keep a=' 'mktinyfs keep a=<(seq 13e5)' \
  >   'mktinyfs keep a=<(seq 7e5) b=<(seq 7e5)' 'fault @nine read:retval=0 -- mktinyfs keep a=nine' \
  >   'mktinyfs keep a=<(head -c 8650752 /dev/zero)'
  ! mktinyfs fifo a=missing: mktinyfs: OUTPUT "fifo" is a FIFO, not a regular file
  ! mktinyfs null a=: mktinyfs: OUTPUT "null" is a character device, not a regular file
  ! fault @dead readlink:error=EACCES -- sh -c 'ln -s nowhere dead; exec mktinyfs \$PWD/dead a=missing': \
  !   mktinyfs: OUTPUT "/.*/dead" is a symbolic link, not a regular file (re)
  ! fault chown:error=EPERM -- mktinyfs keep a=: mktinyfs: cannot keep the owner of "keep": Operation not \
  !   permitted
  ! mktinyfs keep a=<\(seq 13e5\): mktinyfs: "/dev/fd/\d+" is larger than the device \(0x840000 bytes\) (re)
  ! mktinyfs keep a=<\(seq 7e5\) b=<\(seq 7e5\): mktinyfs: "/dev/fd/\d+" and the inputs of unknown length \
  !   before it hold more than the device \(0x840000 bytes\) (re)
  ! fault @nine read:retval=0 -- mktinyfs keep a=nine: mktinyfs: "nine" changed size while it was read (0x9 \
  !   bytes when opened)
  ! mktinyfs keep a=<\(head -c 8650752 /dev/zero\): mktinyfs: file "a" \(0xc000 \+ 0x840000\) passes the \
  !   device end at 0x840000 (re)

Each OUTPUT stays what it was.

  $ stat -c %F fifo null keep dead
  fifo
  symbolic link
  regular empty file
  symbolic link

A link stays a link and the file it ends at gets the image, whether the link is relative or absolute.

  $ mkdir sub; ln -s sub/real.img link; ln -s "$PWD/sub/abs.img" abs; mktinyfs link a= && mktinyfs abs a= &&
  >   test -L abs && stat -c '%F %s' link sub/real.img sub/abs.img | paste -sd' '
  symbolic link 12 regular file 8650752 regular file 8650752

A file keeps its mode and (checked as root only) owner.

  $ chmod 604 keep; chown -f 1:2 keep; mktinyfs keep a= &&
  >   echo $(stat -c %a keep) $([ $UID = 0 ] && stat -c %u:%g keep || echo 1:2)
  604 1:2

Once the image is in place its directory is made durable too; when that fails, the run fails.

  $ ! fault sync:error=ENOSPC:when=2 -- mktinyfs img a=
  ! mktinyfs: the new image "img" is in place, but its directory cannot be synced: No space left on device

Names, then the layout from the inputs' sizes, are checked before any contents are read.

  $ mkfifo idle; truncate -s 4G huge; refused 'timeout 10 mktinyfs img' 'a=idle a=' a=huge
  ! a=idle a=: mktinyfs: duplicate file name "a"
  ! a=huge: mktinyfs: file "a" (0xc000 + 0x100000000) passes the device end at 0x840000

A run that names no file leaves an image with files as it is (hidden ones of a cut table, a damaged header
too); nor is an image it cannot read replaced.

  $ for harm in : 'poke two 0x4020 00' 'poke two 0x4010 00'; do mktinyfs two a=nine b=nine && $harm &&
  >   cp two two.0 && mktinyfs two; cmp two two.0; done
  > fault @two read:error=EIO -- mktinyfs two; cmp two two.0
  ! mktinyfs: OUTPUT "two" holds an image with 2 files, and no FILE is given: it is left as it is (--extract \
  !   "two" DIR takes it apart; remove it first for an empty image)
  ! mktinyfs: OUTPUT "two" holds an image with 1 file, and no FILE is given: it is left as it is (--extract \
  !   "two" DIR takes it apart; remove it first for an empty image)
  ! mktinyfs: OUTPUT "two" holds an image with 2 files, and no FILE is given: it is left as it is (--extract \
  !   "two" DIR takes it apart; remove it first for an empty image)
  ! mktinyfs: cannot read "two": (Input/output|I/O) error (re)

...but an empty image still replaces one without files, or a file that is no image.

  $ mktinyfs --device-id X e && mktinyfs e && mktinyfs nine
