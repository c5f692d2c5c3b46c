// The image's CRC-16: check values, and continuation over chunks against a plain
// bit-by-bit computation of the same register.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/tinyfs/tinyfsTestSupport.h"
#include "tinyfs/crc16.h"

namespace {

constexpr uint16_t POLYNOMIAL = 0x1021;

// One byte at a time, the table entry worked out bit by bit: the top byte of the
// register is reduced by the polynomial while the new byte enters at the bottom.
uint16_t referenceCrc(const uint8_t* pData, size_t iLength, uint16_t iCrc) {
    for (size_t i = 0; i < iLength; ++i) {
        uint16_t iTop = uint16_t(iCrc >> 8 << 8);
        for (int iBit = 0; iBit < 8; ++iBit)
            iTop = uint16_t((iTop & 0x8000) ? (iTop << 1) ^ POLYNOMIAL : iTop << 1);
        iCrc = uint16_t(((iCrc & 0xFF) << 8 | pData[i]) ^ iTop);
    }
    return iCrc;
}

struct cCheckValue {
    std::string sText;
    uint16_t iCrc;
};

TEST(Crc16, CheckValues) {
    const cCheckValue aCases[] = {
        {"123456789", 0xA69D},
        {"abc", 0xD278},
        {"", 0},
        // A single zero byte is the table entry of the preset's top byte, 0xFF.
        {std::string(1, '\0'), 0xFF00 ^ 0x1EF0},
    };
    for (const cCheckValue& oCase : aCases) {
        EXPECT_EQ(crc16(oCase.sText.data(), oCase.sText.size()), oCase.iCrc) << '"' << oCase.sText << '"';
        const uint8_t* pBytes = reinterpret_cast<const uint8_t*>(oCase.sText.data());
        if (!oCase.sText.empty()) {
            EXPECT_EQ(referenceCrc(pBytes, oCase.sText.size(), CRC16_START), oCase.iCrc)
                << "reference disagrees on \"" << oCase.sText << '"';
        }
    }
}

TEST(Crc16, NothingToSumIsZeroNotThePreset) {
    const uint8_t aByte[1] = {0x31};
    EXPECT_EQ(crc16(aByte, 0), 0);
    EXPECT_EQ(crc16(nullptr, 0), 0);
    EXPECT_EQ(crc16(nullptr, 9), 0);
}

TEST(Crc16, UpdateWithoutBytesKeepsTheRegister) {
    const uint8_t aByte[1] = {0};
    for (const uint16_t iStart : {uint16_t(0), uint16_t(0x1234), CRC16_START}) {
        EXPECT_EQ(crc16Update(aByte, 0, iStart), iStart);
    }
}

// Every length up to a few slices, from every alignment and several registers: the
// sliced computation must agree with the byte-wise one wherever the data starts and
// however much of it is left after the last whole slice.
TEST(Crc16, AgreesWithByteWiseReferenceForEveryShortLength) {
    constexpr size_t MAX_LENGTH = 300;
    constexpr size_t ALIGNMENTS = 16;
    const std::vector<uint8_t> lData = randomBytes(MAX_LENGTH + ALIGNMENTS, 1);
    const uint16_t aStarts[] = {CRC16_START, 0, 0x8000, 0x00FF, 0x5A3C};
    for (size_t iLength = 0; iLength <= MAX_LENGTH; ++iLength) {
        for (size_t iAlign = 0; iAlign < ALIGNMENTS; ++iAlign) {
            const uint8_t* p = lData.data() + iAlign;
            for (const uint16_t iStart : aStarts) {
                ASSERT_EQ(crc16Update(p, iLength, iStart), referenceCrc(p, iLength, iStart))
                    << "length " << iLength << " align " << iAlign << " start " << iStart;
            }
            if (iLength > 0) {
                ASSERT_EQ(crc16(p, iLength), referenceCrc(p, iLength, CRC16_START)) << "length " << iLength;
            }
        }
    }
}

TEST(Crc16, AgreesWithByteWiseReferenceForLargeContents) {
    for (const size_t iLength : {size_t(PAGE_SIZE) * 64, size_t(1) << 20, size_t(DEVICE_SIZE) + 7}) {
        const std::vector<uint8_t> lData = randomBytes(iLength, uint32_t(iLength));
        EXPECT_EQ(crc16(lData.data(), lData.size()), referenceCrc(lData.data(), lData.size(), CRC16_START))
            << "length " << iLength;
    }
}

// Rewriting a file feeds its blocks one after another; any split must give the sum
// over the whole.
TEST(Crc16, ContinuationOverRandomChunksEqualsTheWhole) {
    std::mt19937 oRandom(7);
    for (const size_t iLength :
         {size_t(1), size_t(2), size_t(17), size_t(300), size_t(4099), size_t(250000)}) {
        const std::vector<uint8_t> lData = randomBytes(iLength, uint32_t(iLength) + 100);
        const uint16_t iWhole = crc16(lData.data(), lData.size());
        ASSERT_EQ(iWhole, referenceCrc(lData.data(), lData.size(), CRC16_START));
        for (int iRound = 0; iRound < 20; ++iRound) {
            // Chunks of 1 byte up to a few pages, never empty, as callers feed them.
            std::uniform_int_distribution<size_t> oChunk(1, iRound % 2 ? 40 : 3 * PAGE_SIZE);
            uint16_t iCrc = CRC16_START;
            for (size_t iDone = 0; iDone < iLength;) {
                const size_t iPiece = std::min(oChunk(oRandom), iLength - iDone);
                iCrc = crc16Update(lData.data() + iDone, iPiece, iCrc);
                iDone += iPiece;
            }
            ASSERT_EQ(iCrc, iWhole) << "length " << iLength << " round " << iRound;
        }
    }
}

// Both ways of computing must answer alike: the folded one where the processor has
// carry-less multiplication (its lanes, group loop, join and tail), the sliced one on
// every host. Lengths run past several 64-byte groups from every alignment.
TEST(Crc16, SlicedAndFoldedKernelsAgreeWithTheReference) {
    constexpr size_t MAX_LENGTH = 1100;
    constexpr size_t ALIGNMENTS = 16;
    const std::vector<uint8_t> lData = randomBytes(MAX_LENGTH + ALIGNMENTS, 3);
    for (size_t iLength = 0; iLength <= MAX_LENGTH; iLength += iLength < 300 ? 1 : 7) {
        for (size_t iAlign = 0; iAlign < ALIGNMENTS; iAlign += 5) {
            const uint8_t* p = lData.data() + iAlign;
            for (const uint16_t iStart : {CRC16_START, uint16_t(0), uint16_t(0x8001)}) {
                const uint16_t iExpected = referenceCrc(p, iLength, iStart);
                ASSERT_EQ(crc16UpdateSliced(p, iLength, iStart), iExpected) << "sliced, length " << iLength;
                ASSERT_EQ(crc16UpdateFolded(p, iLength, iStart), iExpected) << "folded, length " << iLength;
            }
        }
    }
    const std::vector<uint8_t> lLarge = randomBytes(DEVICE_SIZE, 11);
    EXPECT_EQ(crc16UpdateFolded(lLarge.data(), lLarge.size(), CRC16_START),
              crc16UpdateSliced(lLarge.data(), lLarge.size(), CRC16_START));
}

} // namespace
