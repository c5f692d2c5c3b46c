A file that starts below the FAT owns the room up to the FAT, not up to the next file.

  $ printf 123456789 >nine; mkimg low=nine --offset 0x1000 k=nine; brellix -d img -l | grep low
  low                  | 9 bytes          | 100% growable (12279 bytes left)

Rewriting it with one byte more than that room is refused and leaves the FAT as it was.

  $ head -c 12289 /dev/zero >over; brellix -q -d img -w low over; unchanged
  ! Fatal: file to big (filesystem unchanged)
