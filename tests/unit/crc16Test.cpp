// The CRC-16 against its check values and against a bit-by-bit reference, in every way the
// tool computes it: sliced, folded where the processor can, and continued over chunks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tinyfs/crc16.h"

namespace {

// Each message bit enters at the bottom; a one shifted out at the top folds in 0x1021.
uint16_t reference(const uint8_t* p, size_t iLength, uint16_t iCrc) {
    for (size_t i = 0; i < 8 * iLength; ++i) {
        const bool bOut = iCrc & 0x8000;
        iCrc = uint16_t(iCrc << 1 | (p[i / 8] >> (7 - i % 8) & 1));
        if (bOut)
            iCrc ^= 0x1021;
    }
    return iCrc;
}

TEST(Crc16, CheckValuesAndEveryKernel) {
    EXPECT_EQ(crc16("123456789", 9), 0xA69D);
    EXPECT_EQ(crc16("abc", 0), 0); // zero bytes, not the preset
    EXPECT_EQ(crc16(nullptr, 3), 0);

    std::mt19937 oRandom(7);
    std::vector<uint8_t> lData(70000);
    for (uint8_t& b : lData)
        b = uint8_t(oRandom());
    for (size_t iLength : {1, 15, 16, 17, 127, 128, 129, 191, 1000, 4096, 69983}) {
        const size_t iStart = oRandom() % 16;
        const uint16_t iSeed = uint16_t(oRandom());
        const uint8_t* p = lData.data() + iStart;
        const uint16_t iExpected = reference(p, iLength, iSeed);
        EXPECT_EQ(crc16UpdateSliced(p, iLength, iSeed), iExpected) << iLength;
        EXPECT_EQ(crc16UpdateFolded(p, iLength, iSeed), iExpected) << iLength;
        const size_t iCut = oRandom() % iLength;
        EXPECT_EQ(crc16Update(p + iCut, iLength - iCut, crc16Update(p, iCut, iSeed)), iExpected) << iLength;
        EXPECT_EQ(crc16(p, iLength), reference(p, iLength, CRC16_START)) << iLength;
    }
}

} // namespace
