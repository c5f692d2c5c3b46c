// The local file "--write" copies in, trusted only as far as it was measured.
//
// The length is taken before anything changes: from the file system for a regular file,
// by seeking to the end for anything else (a character device measures 0, a pipe cannot
// be measured). Files the kernel makes up when they are read (under /proc and /sys) have
// no length before that, so they are read whole first, up to one byte more than the room
// they are meant for. A source that then delivers fewer bytes, or more, fails.
#pragma once

#include <cstdint>
#include <vector>

#include "tool/cLocalFile.h"

class cLocalSource {
  public:
    // Throws "seek error" when the length cannot be taken, "unable to read data" when a
    // generated file cannot be read.
    cLocalSource(cLocalFile& oFile, uint32_t iRoom);

    uint64_t length() const { return iLength; }
    // The next iCount bytes; throws "unable to read data", or the shortfall.
    void fill(uint8_t* pDest, uint32_t iCount);
    // Throws when the source holds more than its length.
    void requireEnd();

  private:
    std::string measured(const char* sComparison) const;

    cLocalFile& oFile;
    uint64_t iLength = 0;
    bool bHeld = false; // contents read whole, in lHeld
    std::vector<uint8_t> lHeld;
    uint64_t iDone = 0;
};
