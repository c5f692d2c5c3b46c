// One file of a mounted image: the in-memory form of its FAT entry and the operations
// that read and rewrite its contents in place. Size, checksum and name changes stay in
// memory until the file system writes its FAT back; content bytes go to the device at
// once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tinyfs/cMtdDevice.h"
#include "tinyfs/layout.h"

// The whole of getUsagePercent's share.
constexpr uint32_t PERCENT = 100;

// Told the number of bytes done so far during a long transfer.
using tProgress = std::function<void(uint32_t iDone)>;
// Fills pDest with the next iCount bytes of new contents, or throws.
using tFill = std::function<void(uint8_t* pDest, uint32_t iCount)>;

class cTinyFsFile {
  public:
    // The entry reads and writes its contents on pDevice, which outlives it.
    cTinyFsFile(cMtdDevice& pDevice, const std::string& sName, uint32_t iOffset, uint32_t iFileSize,
                uint32_t iFlags, uint32_t iLoadAddress);

    std::string getName() const { return sName; }
    uint32_t getSize() const { return iFileSize; }
    uint32_t getOffset() const { return iOffset; }
    uint32_t getLoadAddress() const { return iLoadAddress; }
    uint32_t getFlags() const { return iFlags; }
    uint16_t getChecksum() const { return recordedChecksum(iFlags); }
    bool isEmpty() const { return iFileSize == 0; }
    // Whether the content check verifies the contents: not without a recorded checksum,
    // nor at offset 0.
    bool isChecked() const { return getChecksum() != NO_CHECKSUM && iOffset != 0; }

    // Room the file may occupy, with the load-address bound of the boot-time rule; with
    // bBootTime false, without it.
    uint32_t getCapacity(bool bBootTime = true) const { return bBootTime ? iBootCapacity : iMediaCapacity; }
    // Set by the file system from the capacity rule over its whole table.
    void setCapacities(uint32_t iMedia, uint32_t iBootTime) {
        iMediaCapacity = iMedia;
        iBootCapacity = iBootTime;
    }
    // Share of the capacity in use, truncated; a file without any room counts as full.
    uint32_t getUsagePercent() const;
    // Capacity minus size, wrapping for an inconsistent entry.
    uint32_t getBytesLeft() const { return getCapacity() - iFileSize; }
    // Whether the contents lie entirely within the device.
    bool fitsDevice() const;
    // Throws "file exceeds device (\"name\")" unless fitsDevice().
    void requireInsideDevice() const;

    void setChecksum(uint32_t iSum) {
        iFlags = (iSum & CHECKSUM_MASK) << CHECKSUM_SHIFT | (iFlags & FLAG_BITS_MASK);
    }
    void rename(const std::string& sNewName) { sName = sNewName; }

    // Copies the first iSize bytes of the contents into pDest, or, when pDest is null,
    // only reads them; returns their CRC-16.
    uint16_t read(uint8_t* pDest, uint32_t iSize, const tProgress& fProgress = {}) const;
    // Overwrites the first iSize bytes of the contents; size and checksum stay.
    void patch(const uint8_t* pSource, uint32_t iSize);
    // Replaces the contents with iLength bytes taken from fFill piece by piece, and sets
    // size and checksum; the FAT is the caller's to write. Throws "file to big (filesystem
    // unchanged)", before anything is written, when they pass the capacity or the device.
    void rewrite(uint64_t iLength, const tFill& fFill, const tProgress& fProgress = {});

  private:
    cMtdDevice* pDevice;
    std::string sName;
    uint32_t iOffset;
    uint32_t iFileSize;
    uint32_t iFlags;
    uint32_t iLoadAddress;
    uint32_t iMediaCapacity = 0;
    uint32_t iBootCapacity = 0;
};
