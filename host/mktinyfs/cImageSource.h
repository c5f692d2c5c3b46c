// An image file opened for extraction: checked to be what it claims before any byte of
// it is trusted, and read at any position.
#pragma once

#include <cstdint>
#include <string>

#include "tinyfs/fileIo.h"

class cImageSource {
  public:
    // Opens sPath without blocking (a FIFO without writer must not hang) and refuses,
    // by what the descriptor is, anything but a regular file of DEVICE_SIZE bytes.
    explicit cImageSource(const std::string& sPath);

    // iLength bytes at iOffset, all inside the image, or a throw.
    void read(uint32_t iOffset, uint8_t* pDest, uint32_t iLength) const;

  private:
    [[noreturn]] void fail() const;

    std::string sPath;
    cDescriptor oFile;
};
