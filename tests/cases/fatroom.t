The room of a file below the FAT ends at the FAT, not at the next file: so it is listed, and one byte more is refused.

  $ mkimg low= --offset 0x1000 k=; brellix -d img -l | grep low; head -c 12289 /dev/zero >o; brellix -q -d img -w low o; unchanged
  low                  | 0 bytes          | 100% growable (12288 bytes left)
  ! Fatal: file to big (filesystem unchanged)
