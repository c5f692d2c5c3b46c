// An image file opened for extraction: checked to be what it claims before any byte of
// it is trusted, held still by the lock brellix shares with other readers, and read at
// any position.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tinyfs/cDeviceLock.h"
#include "tinyfs/fileIo.h"

class cImageSource {
  public:
    // Opens sPath without blocking (a FIFO without writer must not hang) and refuses,
    // by what the descriptor is, anything but a regular file of DEVICE_SIZE bytes; then
    // takes the shared lock on it for as long as it lives, so no brellix --write changes
    // the image between the passes that read it (throws brellix's own lock messages).
    explicit cImageSource(const std::string& sPath);

    // iLength bytes at iOffset, all inside the image, or a throw.
    void read(uint32_t iOffset, uint8_t* pDest, uint32_t iLength) const;

  private:
    [[noreturn]] void fail() const;

    std::string sPath;
    cDescriptor oFile;
    std::unique_ptr<cDeviceLock> pLock; // after oFile: released before it is closed
};
