// Hand-made device images for the storage tests: the bytes of a whole device in memory,
// the FAT set slot by slot, written to a file that stands in for the flash, and a small
// helper that turns a thrown failure text into a value to compare.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/cRunResult.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"
#include "tinyfs/layout.h"

constexpr uint8_t ERASED = 0xFF;

// Bytes that differ from page to page and from position to position, so a byte moved to
// the wrong place never goes unnoticed.
inline std::vector<uint8_t> randomBytes(size_t iCount, uint32_t iSeed) {
    std::mt19937 oRandom(iSeed);
    std::vector<uint8_t> lBytes(iCount);
    for (size_t i = 0; i < iCount; i += sizeof(uint32_t)) {
        const uint32_t iWord = oRandom();
        for (size_t k = 0; k < sizeof(uint32_t) && i + k < iCount; ++k)
            lBytes[i + k] = uint8_t(iWord >> (8 * k));
    }
    return lBytes;
}

class cTestImage {
  public:
    // A device of iFill bytes (erased flash by default) whose FAT area holds the header
    // and an empty table.
    explicit cTestImage(uint8_t iFill = ERASED) : lBytes(DEVICE_SIZE, iFill) { initFatArea(fat()); }

    uint8_t* fat() { return lBytes.data() + FAT_OFFSET; }
    uint8_t* slot(uint32_t iSlot) { return fat() + iSlot * FAT_SLOT_SIZE; }

    // Entry slots 1, 2, ... in order; the slot after the last keeps whatever it holds
    // (zero after initFatArea, so it ends the table).
    void setEntries(const std::vector<cFatSlot>& lEntries) {
        for (size_t i = 0; i < lEntries.size(); ++i)
            encodeSlot(slot(uint32_t(i + 1)), lEntries[i]);
    }
    void put(uint32_t iOffset, const std::vector<uint8_t>& lData) {
        std::copy(lData.begin(), lData.end(), lBytes.begin() + iOffset);
    }
    std::vector<uint8_t> range(uint32_t iOffset, uint32_t iLength) const {
        return std::vector<uint8_t>(lBytes.begin() + iOffset, lBytes.begin() + iOffset + iLength);
    }
    void save(const std::string& sPath) const { writeBytes(sPath, lBytes); }

    std::vector<uint8_t> lBytes;
};

// A device and the file system mounted on it; the device outlives the file system.
struct cMounted {
    explicit cMounted(const std::string& sPath) : oDevice(sPath), oFs(oDevice) {}
    cMtdDevice oDevice;
    cTinyFs oFs;
};

// The failure text a call throws, "" when it returns, "<other>" for any other exception.
template <typename tCall>
std::string thrownBy(tCall fCall) {
    try {
        fCall();
    } catch (const std::string& sMessage) {
        return sMessage;
    } catch (...) {
        return "<other>";
    }
    return "";
}
