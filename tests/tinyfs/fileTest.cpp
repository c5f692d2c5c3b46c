// File entries: reading and rewriting contents in place within their limits, the
// checksum in the flags word, the usage figures of the listing, and the checksum
// verification of the file system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tinyfs/tinyfsTestSupport.h"
#include "tinyfs/crc16.h"

namespace {

constexpr uint8_t GUARD = 0xA5;
constexpr uint32_t O = DATA_OFFSET;

class cFileTest : public ::testing::Test {
  protected:
    // One file "f" with these contents at iOffset, and "next" iRoom bytes after it.
    void saveFile(uint32_t iOffset, const std::vector<uint8_t>& lContents, uint32_t iRoom,
                  uint32_t iFlags = 0, uint32_t iLoadAddress = 0) {
        oImage = cTestImage();
        oImage.setEntries({{"f", iFlags, iOffset, uint32_t(lContents.size()), iLoadAddress},
                           {"next", 0, iOffset + iRoom, 0, 0}});
        oImage.put(iOffset, lContents);
        oImage.save(sImage);
    }
    std::vector<uint8_t> readBytes() const { return ::readBytes(sImage); }

    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
    cTestImage oImage;
};

// Offsets inside pages and lengths across several transfer pieces.
TEST_F(cFileTest, ReadReturnsTheContentsInPageAlignedPieces) {
    struct cCase {
        uint32_t iOffset;
        uint32_t iSize;
    };
    const cCase aCases[] = {
        {O + 17, 1},
        {O + 17, 100},
        {O + 1, PAGE_SIZE},
        {16 * PAGE_SIZE, 3 * PAGE_SIZE},
        {O + 999, 5000},
        {O + 17, 200000},
        {DEVICE_ID_AREA, DEVICE_ID_AREA_SIZE},
    };
    for (const cCase& oCase : aCases) {
        const std::vector<uint8_t> lContents = randomBytes(oCase.iSize, oCase.iOffset ^ oCase.iSize);
        saveFile(oCase.iOffset, lContents, oCase.iSize);
        cMounted oMounted(sImage);
        const cTinyFsFile& oFile = oMounted.oFs.find("f");
        for (const uint32_t iPart : {oCase.iSize, oCase.iSize / 2, 0u}) {
            std::vector<uint8_t> lDest(oCase.iSize + 1, GUARD);
            std::vector<uint32_t> lDone;
            oFile.read(lDest.data(), iPart, [&](uint32_t iDone) { lDone.push_back(iDone); });
            EXPECT_TRUE(std::equal(lDest.begin(), lDest.begin() + iPart, lContents.begin()))
                << oCase.iOffset << "+" << iPart;
            EXPECT_EQ(std::count(lDest.begin() + iPart, lDest.end(), GUARD),
                      std::ptrdiff_t(oCase.iSize + 1 - iPart));
            if (iPart == 0) {
                EXPECT_TRUE(lDone.empty());
                continue;
            }
            ASSERT_FALSE(lDone.empty());
            EXPECT_EQ(lDone.back(), iPart);
            for (size_t i = 0; i + 1 < lDone.size(); ++i) {
                EXPECT_LT(lDone[i], lDone[i + 1]);
                EXPECT_EQ((oCase.iOffset + lDone[i]) % PAGE_SIZE, 0u)
                    << "piece " << i << " ends inside a page";
            }
        }
    }
}

TEST_F(cFileTest, ReadAndPatchTakeAtMostTheSize) {
    const std::vector<uint8_t> lContents = randomBytes(3000, 1);
    saveFile(O + 5, lContents, 4000, 0xBEEF0006);
    cMounted oMounted(sImage);
    cTinyFsFile& oFile = oMounted.oFs.find("f");

    std::vector<uint8_t> lDest(lContents.size() + 1, GUARD);
    EXPECT_EQ(thrownBy([&] { oFile.read(lDest.data(), 3001); }),
              "*** BUG in cTinyFsFile::read: iSize too big!");
    EXPECT_EQ(lDest, std::vector<uint8_t>(lContents.size() + 1, GUARD));
    oFile.read(lDest.data(), 3000);
    EXPECT_TRUE(std::equal(lContents.begin(), lContents.end(), lDest.begin()));

    const std::vector<uint8_t> lNew = randomBytes(3001, 2);
    EXPECT_EQ(thrownBy([&] { oFile.patch(lNew.data(), 3001); }),
              "*** BUG in cTinyFsFile::patch: iSize too big!");
    EXPECT_EQ(readBytes(), oImage.lBytes);

    oFile.patch(lNew.data(), 3000);
    EXPECT_EQ(oFile.getSize(), 3000u);
    EXPECT_EQ(oFile.getFlags(), 0xBEEF0006);
    cTestImage oExpected = oImage;
    oExpected.put(O + 5, std::vector<uint8_t>(lNew.begin(), lNew.begin() + 3000));
    EXPECT_EQ(readBytes(), oExpected.lBytes);

    oFile.patch(lContents.data(), 17); // the way the MAC address is rewritten
    std::copy(lContents.begin(), lContents.begin() + 17, oExpected.lBytes.begin() + O + 5);
    EXPECT_EQ(readBytes(), oExpected.lBytes);
}

// Rewriting as the file commands do: clear, append block by block, record the running
// checksum, write the FAT back.
TEST_F(cFileTest, AppendFillsTheCapacityExactlyAndNoFurther) {
    constexpr uint32_t ROOM = 5 * PAGE_SIZE + 300;
    const std::vector<uint8_t> lOld = randomBytes(1000, 3);
    saveFile(O + 11, lOld, ROOM, 0x00000F0C);
    const std::vector<uint8_t> lNew = randomBytes(ROOM, 4);
    {
        cMounted oMounted(sImage);
        cTinyFsFile& oFile = oMounted.oFs.find("f");
        ASSERT_EQ(oFile.getCapacity(), ROOM);
        oFile.clear();
        uint16_t iCrc = CRC16_START;
        for (uint32_t iDone = 0; iDone < ROOM;) {
            const uint32_t iBlock = std::min(CHUNK_SIZE, ROOM - iDone);
            oFile.append(lNew.data() + iDone, iBlock);
            iCrc = crc16Update(lNew.data() + iDone, iBlock, iCrc);
            iDone += iBlock;
            EXPECT_EQ(oFile.getSize(), iDone);
        }
        const std::vector<uint8_t> lFull = readBytes();
        EXPECT_EQ(thrownBy([&] { oFile.append(lNew.data(), 1); }), "no space left for file");
        EXPECT_EQ(oFile.getSize(), ROOM);
        EXPECT_EQ(readBytes(), lFull);
        oFile.append(lNew.data(), 0);
        EXPECT_EQ(oFile.getSize(), ROOM);
        oFile.setChecksum(iCrc);
        oMounted.oFs.writeFat();
    }
    cTestImage oExpected = oImage;
    oExpected.put(O + 11, lNew);
    oExpected.setEntries(
        {{"f", uint32_t(crc16(lNew.data(), ROOM)) << CHECKSUM_SHIFT | 0x0F0C, O + 11, ROOM, 0},
         {"next", 0, O + 11 + ROOM, 0, 0}});
    EXPECT_EQ(readBytes(), oExpected.lBytes);
    cMounted oAgain(sImage);
    EXPECT_EQ(thrownBy([&] { oAgain.oFs.verifyChecksum(oAgain.oFs.find("f")); }), "");
}

TEST_F(cFileTest, RefusedAppendChangesNothing) {
    const std::vector<uint8_t> lOld = randomBytes(100, 5);
    saveFile(O, lOld, 150);
    cMounted oMounted(sImage);
    cTinyFsFile& oFile = oMounted.oFs.find("f");
    const std::vector<uint8_t> lMore = randomBytes(51, 6);
    EXPECT_EQ(thrownBy([&] { oFile.append(lMore.data(), 51); }), "no space left for file");
    EXPECT_EQ(oFile.getSize(), 100u);
    EXPECT_EQ(readBytes(), oImage.lBytes);
    oFile.append(lMore.data(), 50);
    EXPECT_EQ(oFile.getSize(), 150u);
    cTestImage oExpected = oImage;
    oExpected.put(O + 100, std::vector<uint8_t>(lMore.begin(), lMore.begin() + 50));
    EXPECT_EQ(readBytes(), oExpected.lBytes);
    // A count that would wrap the size around is still too much.
    EXPECT_EQ(thrownBy([&] { oFile.append(lMore.data(), 0xFFFFFFFF); }), "no space left for file");
}

// With flag bit 1 the next higher load address of another file bounds the growth.
TEST_F(cFileTest, AppendStopsAtTheNextLoadAddress) {
    oImage.setEntries(
        {{"boot", FLAG_LOAD_ADDRESS, O, 0, 0x20000000}, {"next", 0, O + 0x10000, 0, 0x20000400}});
    oImage.save(sImage);
    cMounted oMounted(sImage);
    cTinyFsFile& oFile = oMounted.oFs.find("boot");
    EXPECT_EQ(oFile.getCapacity(), 0x400u);
    const std::vector<uint8_t> lData = randomBytes(0x401, 7);
    EXPECT_EQ(thrownBy([&] { oFile.append(lData.data(), 0x401); }), "no space left for file");
    EXPECT_EQ(thrownBy([&] { oFile.append(lData.data(), 0x400); }), "");
}

TEST_F(cFileTest, ChecksumReplacesTheHighHalfOnly) {
    saveFile(O, {}, 10, 0xABCD1234);
    cMounted oMounted(sImage);
    cTinyFsFile& oFile = oMounted.oFs.find("f");
    EXPECT_EQ(oFile.getChecksum(), 0xABCD);
    oFile.setChecksum(0x12345);
    EXPECT_EQ(oFile.getFlags(), 0x23451234u);
    EXPECT_EQ(oFile.getChecksum(), 0x2345);
    oFile.setChecksum(0xFFFF);
    EXPECT_EQ(oFile.getFlags(), 0xFFFF1234u);
    oFile.setChecksum(0);
    EXPECT_EQ(oFile.getFlags(), 0x00001234u);
}

TEST_F(cFileTest, FlagBitsAndEmptiness) {
    struct cCase {
        uint32_t iFlags;
        uint32_t iSize;
        bool bLoad, bX, bAx, bEmpty;
    };
    const cCase aCases[] = {
        {0x00000000, 0, false, false, false, true},  {0xFFFFFFFF, 0, true, true, true, true},
        {0x00000002, 1, true, false, false, false},  {0x00000004, 1, false, true, false, false},
        {0x00000008, 1, false, false, true, false},  {0xFFFFFFF1, 1, false, false, false, false},
        {0x000E0000, 1, false, false, false, false}, // checksum bits are not flags
    };
    for (const cCase& oCase : aCases) {
        saveFile(O, std::vector<uint8_t>(oCase.iSize, 0), 10, oCase.iFlags);
        cMounted oMounted(sImage);
        const cTinyFsFile& oFile = oMounted.oFs.find("f");
        EXPECT_EQ(oFile.hasLoadAddress(), oCase.bLoad) << std::hex << oCase.iFlags;
        EXPECT_EQ(oFile.hasFlagX(), oCase.bX) << std::hex << oCase.iFlags;
        EXPECT_EQ(oFile.hasFlagAx(), oCase.bAx) << std::hex << oCase.iFlags;
        EXPECT_EQ(oFile.isEmpty(), oCase.bEmpty) << std::hex << oCase.iFlags;
    }
}

TEST_F(cFileTest, UsageFiguresTruncateAndWrap) {
    struct cCase {
        uint32_t iSize;
        uint32_t iCapacity;
        uint32_t iPercent;
        uint32_t iLeft;
    };
    const cCase aCases[] = {
        {0, 300, 0, 300},
        {1, 300, 0, 299},
        {2, 300, 0, 298},
        {3, 300, 1, 297},
        {150, 300, 50, 150},
        {299, 300, 99, 1},
        {300, 300, 100, 0},
        {301, 300, 100, 0xFFFFFFFF},
        {600, 300, 200, 0xFFFFFED4},
        {DEVICE_SIZE - O - 1, DEVICE_SIZE - O, 99, 1},
    };
    for (const cCase& oCase : aCases) {
        oImage = cTestImage();
        oImage.setEntries({{"f", 0, O, oCase.iSize, 0}, {"next", 0, O + oCase.iCapacity, 0, 0}});
        oImage.save(sImage);
        cMounted oMounted(sImage);
        const cTinyFsFile& oFile = oMounted.oFs.find("f");
        ASSERT_EQ(oFile.getCapacity(), oCase.iCapacity);
        EXPECT_EQ(oFile.getUsagePercent(), oCase.iPercent) << oCase.iSize << "/" << oCase.iCapacity;
        EXPECT_EQ(oFile.getBytesLeft(), oCase.iLeft) << oCase.iSize << "/" << oCase.iCapacity;
    }
}

// A file at the device end with nothing after it has no room at all and counts as full.
TEST_F(cFileTest, NoRoomAtAllCountsAsFull) {
    for (const uint32_t iSize : {0u, 5u}) {
        oImage = cTestImage();
        oImage.setEntries({{"end", 0, DEVICE_SIZE, iSize, 0}});
        oImage.save(sImage);
        cMounted oMounted(sImage);
        const cTinyFsFile& oFile = oMounted.oFs.find("end");
        ASSERT_EQ(oFile.getCapacity(), 0u);
        EXPECT_EQ(oFile.getUsagePercent(), 100u) << iSize;
        EXPECT_EQ(oFile.getBytesLeft(), 0u - iSize);
    }
}

TEST_F(cFileTest, ClearEmptiesInMemoryOnly) {
    const std::vector<uint8_t> lContents = randomBytes(700, 8);
    saveFile(O + 3, lContents, 1000, 0x55550002);
    cMounted oMounted(sImage);
    cTinyFsFile& oFile = oMounted.oFs.find("f");
    oFile.clear();
    EXPECT_TRUE(oFile.isEmpty());
    EXPECT_EQ(oFile.getBytesLeft(), oFile.getCapacity());
    EXPECT_EQ(oFile.getBytesLeft(), 1000u);
    EXPECT_EQ(oFile.getUsagePercent(), 0u);
    EXPECT_EQ(oFile.getFlags(), 0x55550002u);
    EXPECT_EQ(readBytes(), oImage.lBytes);
}

// Contents of length two with the given CRC: the register after two bytes takes every
// value, so one exists for each.
std::vector<uint8_t> contentsWithCrc(uint16_t iWanted) {
    for (uint32_t i = 0; i <= 0xFFFF; ++i) {
        const std::vector<uint8_t> lData = {uint8_t(i >> 8), uint8_t(i)};
        if (crc16(lData.data(), lData.size()) == iWanted)
            return lData;
    }
    return {};
}

TEST_F(cFileTest, ChecksumMismatchNamesBothSumsInShortHex) {
    const std::vector<uint8_t> l1a2 = contentsWithCrc(0x01A2);
    ASSERT_EQ(l1a2.size(), 2u);
    const std::string sCheck = "123456789";
    const std::vector<uint8_t> lCheck(sCheck.begin(), sCheck.end());
    struct cCase {
        std::vector<uint8_t> lContents;
        uint16_t iStored;
        uint16_t iFlagBits;
        std::string sMessage;
    };
    const cCase aCases[] = {
        {l1a2, 0xFFFF, 0, "CheckSum error: 0x1a2 != 0xffff!"},   {l1a2, 0x01A2, 0xFFFF, ""},
        {lCheck, 0, 0, "CheckSum error: 0xa69d != 0x0!"},        {lCheck, 0xA69D, 0x0002, ""},
        {lCheck, 0x0A69, 0, "CheckSum error: 0xa69d != 0xa69!"}, {{}, 0, 0, ""},
        {{}, 0xFFFF, 0, "CheckSum error: 0x0 != 0xffff!"},
    };
    for (const cCase& oCase : aCases) {
        saveFile(O + 1, oCase.lContents, 100, uint32_t(oCase.iStored) << CHECKSUM_SHIFT | oCase.iFlagBits);
        cMounted oMounted(sImage);
        EXPECT_EQ(thrownBy([&] { oMounted.oFs.verifyChecksum(oMounted.oFs.find("f")); }), oCase.sMessage)
            << oCase.sMessage;
    }
}

TEST_F(cFileTest, ChecksumOfLargeUnalignedContentsCoversEveryByte) {
    constexpr uint32_t SIZE = 300000;
    constexpr uint32_t OFFSET = O + 333;
    std::vector<uint8_t> lContents = randomBytes(SIZE, 9);
    const uint16_t iSum = crc16(lContents.data(), SIZE);
    for (const uint32_t iChanged : {0u, PAGE_SIZE - 333, SIZE / 2, SIZE - 1}) {
        saveFile(OFFSET, lContents, SIZE, uint32_t(iSum) << CHECKSUM_SHIFT);
        {
            cMounted oMounted(sImage);
            uint32_t iLast = 0;
            EXPECT_EQ(thrownBy([&] {
                          oMounted.oFs.verifyChecksum(oMounted.oFs.find("f"),
                                                      [&](uint32_t iDone) { iLast = iDone; });
                      }),
                      "");
            EXPECT_EQ(iLast, SIZE);
        }
        oImage.lBytes[OFFSET + iChanged] ^= 0x01;
        oImage.save(sImage);
        cMounted oMounted(sImage);
        const std::string sMessage = thrownBy([&] { oMounted.oFs.verifyChecksum(oMounted.oFs.find("f")); });
        EXPECT_EQ(sMessage.rfind("CheckSum error: 0x", 0), 0u) << "byte " << iChanged << ": " << sMessage;
    }
}

// Contents that would pass the device end are refused before anything is read.
TEST_F(cFileTest, ChecksumOfAFilePastTheDeviceEndIsRefused) {
    struct cCase {
        uint32_t iOffset;
        uint32_t iSize;
        bool bInside;
    };
    const cCase aCases[] = {
        {DEVICE_ID_AREA, DEVICE_ID_AREA_SIZE, true},
        {DEVICE_SIZE, 0, true},
        {DEVICE_SIZE - 10, 11, false},
        {DEVICE_SIZE, 1, false},
        {0xFFFFFFF0, 0x20, false}, // the end wraps in 32 bits
        {O, 0xFFFFFFFF, false},
    };
    for (const cCase& oCase : aCases) {
        oImage = cTestImage();
        const uint32_t iStored = oCase.bInside ? crc16(oImage.lBytes.data() + oCase.iOffset, oCase.iSize) : 0;
        oImage.setEntries({{"edge", iStored << CHECKSUM_SHIFT, oCase.iOffset, oCase.iSize, 0}});
        oImage.save(sImage);
        cMounted oMounted(sImage);
        const cTinyFsFile& oFile = oMounted.oFs.find("edge");
        EXPECT_EQ(oFile.fitsDevice(), oCase.bInside) << std::hex << oCase.iOffset << "+" << oCase.iSize;
        const std::string sRefusal = oCase.bInside ? "" : "file exceeds device (\"edge\")";
        EXPECT_EQ(thrownBy([&] { oFile.requireInsideDevice(); }), sRefusal);
        EXPECT_EQ(thrownBy([&] { oMounted.oFs.verifyChecksum(oFile); }), sRefusal)
            << std::hex << oCase.iOffset << "+" << oCase.iSize;
    }
}

// Reading contents that pass the device end fails with the device's own message.
TEST_F(cFileTest, ReadPastTheDeviceEndFailsInTheDevice) {
    oImage.setEntries({{"tail", 0, DEVICE_SIZE - 10, 20, 0}});
    oImage.save(sImage);
    cMounted oMounted(sImage);
    std::vector<uint8_t> lDest(20, GUARD);
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.find("tail").read(lDest.data(), 20); }), "invalid seek");
    oMounted.oFs.find("tail").read(lDest.data(), 10);
    EXPECT_TRUE(std::equal(lDest.begin(), lDest.begin() + 10, oImage.lBytes.end() - 10));
}

} // namespace
