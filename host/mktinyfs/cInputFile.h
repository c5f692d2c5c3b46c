// A local file that mktinyfs takes a file's contents from, opened once and measured from
// its descriptor, so that the layout is checked before any contents are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tinyfs/fileIo.h"

class cInputFile {
  public:
    // Opens the file; throws "cannot read ..." when it cannot.
    explicit cInputFile(const std::string& sPath);

    // A regular file that reports its size is measured: its contents are read only when
    // the image is written. Pipes, devices, files that report 0 bytes (as under /proc) and
    // files of at most PIECE_SIZE bytes without any disk block (as under /sys) are
    // measured by reading them whole first.
    bool isMeasured() const { return bMeasured; }
    void readAhead(uint64_t iHeldBefore); // iHeldBefore: bytes other inputs hold already
    uint64_t getSize() const { return iSize; }

    // The next iLength bytes of the contents. Throws when a measured file ends early, or
    // goes on at its measured end.
    void readExactly(uint8_t* pTo, size_t iLength);

    // Everything up to the end, for an argument file; more than iLimit bytes (sLimit in
    // words) is refused.
    std::string readWhole(size_t iLimit, const char* sLimit);

  private:
    [[noreturn]] void fail() const;
    size_t readSome(uint8_t* pTo, size_t iLength); // fewer only at the end

    std::string sPath;
    cDescriptor oFile;
    bool bMeasured = false;
    uint64_t iSize = 0;
    uint64_t iDelivered = 0;
    std::vector<std::vector<uint8_t>> lHeld; // what readAhead took in, in blocks
};
