// Crafted device images for the hostile-input tests: a whole device of erased flash
// with a FAT made slot by slot, whatever the numbers in it, and the text the tool
// prints about them, so that the tests can say exactly what each run must print.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/cRunResult.h"
#include "tinyfs/crc16.h"
#include "tinyfs/layout.h"

constexpr uint8_t ERASED_BYTE = 0xFF;

class cHostileImage {
  public:
    cHostileImage() : lBytes(DEVICE_SIZE, ERASED_BYTE) { initFatArea(lBytes.data() + FAT_OFFSET); }

    // The next slot of the table, numbers taken as given.
    cHostileImage& entry(const std::string& sName, uint32_t iOffset, uint32_t iSize, uint16_t iChecksum,
                         uint32_t iFlagBits = 0, uint32_t iLoadAddress = 0) {
        const uint32_t iFlags = uint32_t(iChecksum) << CHECKSUM_SHIFT | iFlagBits;
        encodeSlot(slot(iSlots++), {sName, iFlags, iOffset, iSize, iLoadAddress});
        return *this;
    }

    // A file whose contents lie at iOffset, with their own checksum.
    cHostileImage& file(const std::string& sName, uint32_t iOffset, const std::string& sContents) {
        std::copy(sContents.begin(), sContents.end(), lBytes.begin() + iOffset);
        return entry(sName, iOffset, uint32_t(sContents.size()), crc16(sContents.data(), sContents.size()));
    }

    // Every slot after the entries so far holds this byte, as on flash whose table was
    // never ended.
    cHostileImage& fillAfterTable(uint8_t iByte) {
        std::fill(slot(iSlots), lBytes.data() + FAT_OFFSET + FAT_SIZE, iByte);
        return *this;
    }

    cHostileImage& eraseAll() {
        std::fill(lBytes.begin(), lBytes.end(), ERASED_BYTE);
        return *this;
    }

    // Raw bytes over the image, wherever they land.
    cHostileImage& patch(uint32_t iOffset, const std::string& sBytes) {
        std::copy(sBytes.begin(), sBytes.end(), lBytes.begin() + iOffset);
        return *this;
    }

    // The image file only up to iLength bytes.
    cHostileImage& truncate(uint32_t iLength) {
        lBytes.resize(iLength);
        return *this;
    }

    const std::vector<uint8_t>& bytes() const { return lBytes; }
    void writeTo(const std::string& sPath) const { writeBytes(sPath, lBytes); }

  private:
    uint8_t* slot(uint32_t iSlot) { return lBytes.data() + FAT_OFFSET + iSlot * FAT_SLOT_SIZE; }

    std::vector<uint8_t> lBytes;
    uint32_t iSlots = 1;
};

inline std::string padded(const std::string& sText, size_t iWidth) {
    return sText.size() < iWidth ? sText + std::string(iWidth - sText.size(), ' ') : sText;
}

// One line of "--list": the growable share and the bytes left are given as the tool
// must compute them (wrapped 32-bit values for an inconsistent entry).
inline std::string listLine(const std::string& sName, uint32_t iSize, uint32_t iGrowable, uint32_t iLeft) {
    return padded(sName, 20) + " | " + padded(std::to_string(iSize) + " bytes", 16) + " | " +
           padded(std::to_string(iGrowable) + "% growable", 13) + " (" + std::to_string(iLeft) +
           " bytes left)\n";
}

// One line of "--list --verbose"; sChecksum and sFlags as they are printed.
inline std::string verboseLine(const std::string& sName, uint32_t iSize, const std::string& sChecksum,
                               const std::string& sFlags, uint32_t iGrowable, uint32_t iLeft) {
    return padded(sName, 20) + " | " + padded(std::to_string(iSize) + " bytes", 16) + " | Sum: 0x" +
           padded(sChecksum, 5) + " | " + padded(sFlags, 15) + " | " +
           padded(std::to_string(iGrowable) + "% growable", 13) + " (" + std::to_string(iLeft) +
           " bytes left)\n";
}

// The three phase lines every "--check" that mounts prints first.
inline const std::string CHECK_PHASES = "** Checking media integrity...\n"
                                        "** Checking boot-time integrity...\n"
                                        "** Checking content integrity...\n";
inline const std::string CHECK_CLEAN = "Filesystem is ready and clean.\n";
inline const std::string CHECK_NOT_READY = "Filesystem contains errors and is NOT ready for use.\n";
