The room of a file below the FAT ends at the FAT, not at the next file: so it is listed...

  $ mkimg low= --offset 0x1000 k=; brellix -d img -l | grep low
  low                  | 0 bytes          | 100% growable (12288 bytes left)

...and one byte more is refused.

  $ head -c 12289 /dev/zero >o; brellix -q -d img -w low o; unchanged
  ! Fatal: file to big (filesystem unchanged)
