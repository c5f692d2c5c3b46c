// The local file "--write" copies in, trusted only as far as it was measured.
//
// The file is looked at first, before the device is locked: a FIFO or socket cannot be
// measured and is refused at once, whether or not anything writes to it. The length is
// taken before anything changes: from the file system for a regular file, by seeking to
// the end for anything else (a character device measures 0, a pipe cannot be measured).
// A regular file that reports no length, or occupies no blocks, may have its length only
// known by reading it (the files that /proc, /sys, cgroup, debugfs or configfs make up
// when read): it is read whole first, up to one byte more than the room it is meant for.
// A source that then delivers fewer bytes, or more, fails (whether the file in the image
// was damaged by then is the writer's to tell).
#pragma once

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tool/cLocalFile.h"

class cLocalSource {
  public:
    // Throws "seek error" for a file that cannot be measured. A file that failed to open
    // is reported by measure.
    explicit cLocalSource(cLocalFile& oFile);

    // Takes the length, for copying into a file of room iRoom. Throws
    // "unable to open file (path)", "seek error", or "unable to read data" when a file
    // read whole cannot be read.
    void measure(uint32_t iRoom);
    uint64_t length() const { return iLength; }
    // The next iCount bytes; throws "unable to read data", or the shortfall.
    void fill(uint8_t* pDest, uint32_t iCount);
    // Throws when the source holds more than its length.
    void requireEnd();

  private:
    std::string measured(const char* sComparison) const;

    cLocalFile& oFile;
    struct stat oStat = {};
    uint64_t iLength = 0;
    bool bHeld = false; // contents read whole, in lHeld
    std::vector<uint8_t> lHeld;
    uint64_t iDone = 0;
};
