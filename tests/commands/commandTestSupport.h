// Shared pieces of the end-to-end command tests: a scratch image per test, the outcome
// of one run as a comparable value, FAT slot access on raw image bytes, an independent
// bit-by-bit CRC-16, and a byte-exact image comparison that names the first difference.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/mktinyfs/cImageBuilder.h"
#include "tests/support/cRunResult.h"
#include "tinyfs/layout.h"

using tBytes = std::vector<uint8_t>;

// Where the tests place their files: well behind the FAT, and deliberately off the page
// grid so every transfer has partial pages.
constexpr uint32_t FIRST_FILE = 0x10000 + 7;
constexpr uint32_t CRC_POLYNOMIAL = 0x1021;
constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint16_t CRC_TOP_BIT = 0x8000;
constexpr uint16_t CRC_PRESET = 0xFFFF;

// The image's CRC-16 worked out one message bit at a time: each bit enters at the bottom
// of the register, and a one shifted out at the top folds the polynomial back in. Kept
// apart from the tool's table so the tests do not take their expectations from it.
inline uint16_t referenceCrc(const tBytes& lData) {
    if (lData.empty())
        return 0;
    uint16_t iCrc = CRC_PRESET;
    for (const uint8_t iByte : lData) {
        for (uint32_t iBit = BITS_PER_BYTE; iBit-- > 0;) {
            const bool bOut = (iCrc & CRC_TOP_BIT) != 0;
            iCrc = uint16_t(iCrc << 1 | ((iByte >> iBit) & 1));
            if (bOut)
                iCrc = uint16_t(iCrc ^ CRC_POLYNOMIAL);
        }
    }
    return iCrc;
}

inline tBytes textBytes(const std::string& sText) {
    return tBytes(sText.begin(), sText.end());
}

// Deterministic contents that hold zero bytes and 0xff bytes at irregular places.
inline tBytes pattern(size_t iLength, uint32_t iSeed) {
    tBytes lBytes(iLength);
    uint32_t iState = iSeed * 2654435761u + 1;
    for (uint8_t& iByte : lBytes) {
        iState = iState * 1103515245u + 12345u;
        iByte = uint8_t(iState >> 16);
    }
    return lBytes;
}

inline std::string hexText(uint32_t iValue) {
    std::ostringstream oOut;
    oOut << std::hex << iValue;
    return oOut.str();
}

// A file placed by the test itself, so capacities follow from the offsets alone.
inline cImageFile placedFile(const std::string& sName, const tBytes& lContents, uint32_t iOffset) {
    cImageFile oFile;
    oFile.sName = sName;
    oFile.lContents = lContents;
    oFile.iOffset = iOffset;
    return oFile;
}

inline size_t slotPosition(uint32_t iSlot) {
    return size_t(FAT_OFFSET) + size_t(iSlot) * FAT_SLOT_SIZE;
}

inline cFatSlot slotOf(const tBytes& lImage, uint32_t iSlot) {
    return decodeSlot(lImage.data() + slotPosition(iSlot));
}

inline void putSlot(tBytes& lImage, uint32_t iSlot, const cFatSlot& oEntry) {
    encodeSlot(lImage.data() + slotPosition(iSlot), oEntry);
}

// The slot of the first entry with this name; 0 when there is none.
inline uint32_t slotNamed(const tBytes& lImage, const std::string& sName) {
    for (uint32_t iSlot = 1; iSlot < FAT_SLOTS && lImage[slotPosition(iSlot)] != 0; ++iSlot)
        if (slotOf(lImage, iSlot).sName == sName)
            return iSlot;
    return 0;
}

inline void putLe32(tBytes& lImage, size_t iPosition, uint32_t iValue) {
    storeLe32(lImage.data() + iPosition, iValue);
}

inline void putBytes(tBytes& lImage, size_t iPosition, const tBytes& lBytes) {
    std::copy(lBytes.begin(), lBytes.end(), lImage.begin() + std::ptrdiff_t(iPosition));
}

inline tBytes bytesAt(const tBytes& lImage, size_t iPosition, size_t iLength) {
    return tBytes(lImage.begin() + std::ptrdiff_t(iPosition),
                  lImage.begin() + std::ptrdiff_t(iPosition + iLength));
}

// Empty when both images are equal; otherwise where they first differ, how many bytes
// differ in all, and the range the differences span.
inline std::string imageDifference(const tBytes& lExpected, const tBytes& lActual) {
    if (lExpected.size() != lActual.size())
        return "size " + std::to_string(lActual.size()) + " instead of " + std::to_string(lExpected.size());
    if (lExpected == lActual)
        return "";
    size_t iCount = 0, iFirst = 0, iLast = 0;
    for (size_t i = 0; i < lExpected.size(); ++i) {
        if (lExpected[i] == lActual[i])
            continue;
        if (iCount++ == 0)
            iFirst = i;
        iLast = i;
    }
    if (iCount == 0)
        return "";
    return std::to_string(iCount) + " bytes differ in 0x" + hexText(uint32_t(iFirst)) + "..0x" +
           hexText(uint32_t(iLast)) + "; first: 0x" + hexText(lActual[iFirst]) + " instead of 0x" +
           hexText(lExpected[iFirst]);
}

// What one run of the tool showed: both streams byte for byte and the exit status.
struct cOutcome {
    std::string sOut;
    std::string sErr;
    int iStatus = 0;
    bool operator==(const cOutcome& o) const {
        return sOut == o.sOut && sErr == o.sErr && iStatus == o.iStatus;
    }
};

inline cOutcome outcomeOf(const cRunResult& oRun) {
    return {oRun.sOut, oRun.sErr, oRun.iStatus};
}

inline void PrintTo(const cOutcome& oOutcome, std::ostream* pOut) {
    *pOut << "\n  stdout: " << ::testing::PrintToString(oOutcome.sOut)
          << "\n  stderr: " << ::testing::PrintToString(oOutcome.sErr) << "\n  status: " << oOutcome.iStatus;
}

// One image file per test in its own scratch directory, with the bytes it started with.
class cCommandTest : public ::testing::Test {
  protected:
    void useImage(const tBytes& lImage) {
        lBefore = lImage;
        writeBytes(sImage, lBefore);
    }
    void useImage(const cImageBuilder& oBuilder) { useImage(oBuilder.build()); }

    // The tool on this test's image; every run names it with "-d".
    cOutcome brellix(const std::vector<std::string>& lArgs) const {
        std::vector<std::string> lAll = {"-d", sImage};
        lAll.insert(lAll.end(), lArgs.begin(), lArgs.end());
        return outcomeOf(runBrellix(lAll));
    }

    // The driver's notice for "-d", the first line of every run that is not quiet.
    std::string deviceLine() const { return "** using device " + sImage + "\n"; }

    tBytes image() const { return readBytes(sImage); }
    std::string unchanged() const { return imageDifference(lBefore, image()); }

    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
    tBytes lBefore;
};
