// Mounting and writing back the FAT: what loading takes from a slot and what it ignores,
// the exact bytes a write-back produces, and lookup by name and by "%N" position.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tinyfs/tinyfsTestSupport.h"

namespace {

constexpr uint8_t NOISE = 0xEE; // bytes that loading ignores and a write-back zeroes

class cFatTest : public ::testing::Test {
  protected:
    void save() { oImage.save(sImage); }
    std::vector<uint8_t> readBytes() const { return ::readBytes(sImage); }

    // Fills the header's bytes around the magic word with noise.
    void noisyHeader() {
        std::memset(oImage.fat(), NOISE, HEADER_MAGIC_POS);
        std::memset(oImage.fat() + HEADER_MAGIC_POS + 4, NOISE, FAT_SLOT_SIZE - HEADER_MAGIC_POS - 4);
    }

    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
    cTestImage oImage;
};

void expectEntry(const cTinyFsFile& oFile, const cFatSlot& oSlot) {
    EXPECT_EQ(oFile.getName(), oSlot.sName);
    EXPECT_EQ(oFile.getFlags(), oSlot.iFlags) << oSlot.sName;
    EXPECT_EQ(oFile.getOffset(), oSlot.iOffset) << oSlot.sName;
    EXPECT_EQ(oFile.getSize(), oSlot.iSize) << oSlot.sName;
    EXPECT_EQ(oFile.getLoadAddress(), oSlot.iLoadAddress) << oSlot.sName;
}

TEST_F(cFatTest, MagicWordDecidesWhetherTheImageMounts) {
    struct cCase {
        const char* sWhat;
        std::vector<uint8_t> lHeader; // the first 20 bytes of slot 0
        const char* sMessage;
    };
    std::vector<uint8_t> lGood(HEADER_MAGIC_POS, NOISE);
    lGood.insert(lGood.end(), {0x78, 0x56, 0x34, 0x12});
    std::vector<uint8_t> lSwapped(HEADER_MAGIC_POS, 0);
    lSwapped.insert(lSwapped.end(), {0x12, 0x34, 0x56, 0x78});
    std::vector<uint8_t> lOffByOne(HEADER_MAGIC_POS, 0);
    lOffByOne.insert(lOffByOne.end(), {0x79, 0x56, 0x34, 0x12});
    std::vector<uint8_t> lShifted(HEADER_MAGIC_POS - 4, 0);
    lShifted.insert(lShifted.end(), {0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0});
    const cCase aCases[] = {
        {"little-endian magic with noise around it", lGood, ""},
        {"erased FAT", std::vector<uint8_t>(HEADER_MAGIC_POS + 4, ERASED), "invalid image"},
        {"all zeros", std::vector<uint8_t>(HEADER_MAGIC_POS + 4, 0), "invalid image"},
        {"magic stored big-endian", lSwapped, "invalid image"},
        {"magic one off", lOffByOne, "invalid image"},
        {"magic at the wrong place", lShifted, "invalid image"},
    };
    for (const cCase& oCase : aCases) {
        cTestImage oCaseImage;
        oCaseImage.put(FAT_OFFSET, oCase.lHeader);
        oCaseImage.save(sImage);
        cMtdDevice oDevice(sImage);
        EXPECT_EQ(thrownBy([&] { cTinyFs oFs(oDevice); }), oCase.sMessage) << oCase.sWhat;
    }
}

TEST_F(cFatTest, ErasedImageIsInvalid) {
    writeBytes(sImage, std::vector<uint8_t>(DEVICE_SIZE, ERASED));
    cMtdDevice oDevice(sImage);
    EXPECT_EQ(thrownBy([&] { cTinyFs oFs(oDevice); }), "invalid image");
}

TEST_F(cFatTest, EmptyTableMountsAndItsWriteBackChangesNothing) {
    noisyHeader();
    // The end slot's other bytes and every later slot are left as they are.
    std::memset(oImage.slot(1) + 1, NOISE, FAT_SLOT_SIZE - 1);
    std::memset(oImage.slot(2), ERASED, FAT_SIZE - 2 * FAT_SLOT_SIZE);
    save();
    cMounted oMounted(sImage);
    EXPECT_TRUE(oMounted.oFs.getFiles().empty());
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(false); }), "");
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(true); }), "");
    oMounted.oFs.writeFat();
    EXPECT_EQ(readBytes(), oImage.lBytes);
}

TEST_F(cFatTest, SlotsAfterTheEntriesThatAreErasedReadAsMoreEntries) {
    oImage.setEntries({{"first", 0, DATA_OFFSET, 0, 0}});
    std::memset(oImage.slot(2), ERASED, FAT_SIZE - 2 * FAT_SLOT_SIZE);
    save();
    cMounted oMounted(sImage);
    const std::vector<cTinyFsFile>& lFiles = oMounted.oFs.getFiles();
    ASSERT_EQ(lFiles.size(), FAT_MAX_ENTRIES);
    EXPECT_EQ(lFiles[0].getName(), "first");
    EXPECT_EQ(lFiles[1].getName(), std::string(NAME_MAX, char(ERASED)));
    EXPECT_EQ(lFiles.back().getFlags(), 0xFFFFFFFF);
}

// What a slot holds and what loading makes of it.
TEST_F(cFatTest, LoadTakesTheFieldsAndAtMostFifteenNameBytes) {
    const std::vector<cFatSlot> lSlots = {
        {"a", 0x0000, DATA_OFFSET, 1, 0},
        {"exactly15bytes!", 0xA69DFFF1, 0x00123456, 0x00ABCDEF, 0xDEADBEEF},
        {"sixteen-bytes-nm", 0x0002000E, 0x80000000, 0xFFFFFFFF, 0x12345678}, // cut by encodeSlot; raw below
        {"with\x01"
         "ctrl\x7f\x80",
         0xFFFF0000, 0, 0, 0xFFFFFFFF},
        {"x", 0x00010002, DEVICE_SIZE, 0, 1},
    };
    oImage.setEntries(lSlots);
    // A name that fills all 16 bytes on flash, and a name with bytes after its end.
    std::memcpy(oImage.slot(3), "sixteen-bytes-nm", SLOT_NAME_FIELD);
    std::memcpy(oImage.slot(1), "a\0hidden-bytes\xff", SLOT_NAME_FIELD);
    save();

    cMounted oMounted(sImage);
    const std::vector<cTinyFsFile>& lFiles = oMounted.oFs.getFiles();
    ASSERT_EQ(lFiles.size(), lSlots.size());
    expectEntry(lFiles[0], lSlots[0]);
    expectEntry(lFiles[1], lSlots[1]);
    cFatSlot oCut = lSlots[2];
    oCut.sName = "sixteen-bytes-n";
    expectEntry(lFiles[2], oCut);
    expectEntry(lFiles[3], lSlots[3]);
    expectEntry(lFiles[4], lSlots[4]);
}

// A write-back rebuilds the header and every slot from the loaded values: the bytes that
// loading ignores become zero, everything it reads comes back as it was, and slots after
// the end slot are not touched.
TEST_F(cFatTest, WriteBackZeroesIgnoredBytesAndKeepsEverythingElse) {
    const std::vector<cFatSlot> lSlots = {
        {"kernel", 0x1234FFFF, DATA_OFFSET, 0x1000, 0x20008000},
        {"exactly15bytes!", 0x0000F0F1, DATA_OFFSET + 0x2000, 7, 0},
        {"sixteen-bytes-nm", 0xFFFF0002, DATA_OFFSET + 0x3000, 0, 0xFFFFFFFF},
        {"short", 0x0A0B0C0D, 0x01020304, 0x05060708, 0x090A0B0C},
    };
    oImage.setEntries(lSlots);
    noisyHeader();
    std::memcpy(oImage.slot(3), "sixteen-bytes-nm", SLOT_NAME_FIELD);
    std::memcpy(oImage.slot(4), "short\0noise\xee\xee\xee\xee", SLOT_NAME_FIELD);
    std::memset(oImage.slot(5) + 1, NOISE, FAT_SLOT_SIZE - 1); // end slot: only byte 0 counts
    std::memset(oImage.slot(6), NOISE, FAT_SIZE - 6 * FAT_SLOT_SIZE);
    save();

    {
        cMounted oMounted(sImage);
        oMounted.oFs.writeFat();
    }
    cTestImage oExpected = oImage;
    initFatArea(oExpected.fat());
    cFatSlot oCut = lSlots[2];
    oCut.sName = "sixteen-bytes-n";
    oExpected.setEntries({lSlots[0], lSlots[1], oCut, lSlots[3]});
    std::memset(oExpected.slot(6), NOISE, FAT_SIZE - 6 * FAT_SLOT_SIZE);
    const std::vector<uint8_t> lAfter = readBytes();
    EXPECT_EQ(lAfter, oExpected.lBytes);

    // The numbers are little-endian, least significant byte first.
    const uint8_t* pSlot4 = lAfter.data() + FAT_OFFSET + 4 * FAT_SLOT_SIZE;
    const std::vector<uint8_t> lSlot4(pSlot4, pSlot4 + FAT_SLOT_SIZE);
    const std::vector<uint8_t> lWanted = {'s',  'h',  'o',  'r',  't',  0,    0,    0,    0,    0,    0,
                                          0,    0,    0,    0,    0,    0x0D, 0x0C, 0x0B, 0x0A, 0x04, 0x03,
                                          0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x0C, 0x0B, 0x0A, 0x09};
    EXPECT_EQ(lSlot4, lWanted);
    const std::vector<uint8_t> lHeader(lAfter.begin() + FAT_OFFSET,
                                       lAfter.begin() + FAT_OFFSET + FAT_SLOT_SIZE);
    std::vector<uint8_t> lWantedHeader(FAT_SLOT_SIZE, 0);
    lWantedHeader[HEADER_MAGIC_POS] = 0x78;
    lWantedHeader[HEADER_MAGIC_POS + 1] = 0x56;
    lWantedHeader[HEADER_MAGIC_POS + 2] = 0x34;
    lWantedHeader[HEADER_MAGIC_POS + 3] = 0x12;
    EXPECT_EQ(lHeader, lWantedHeader);

    // A second mount sees the same table.
    cMounted oAgain(sImage);
    ASSERT_EQ(oAgain.oFs.getFiles().size(), lSlots.size());
    expectEntry(oAgain.oFs.getFiles()[2], oCut);
    expectEntry(oAgain.oFs.getFiles()[3], lSlots[3]);
}

TEST_F(cFatTest, RenameIsStoredCutToFifteenBytes) {
    struct cCase {
        std::string sNewName;
        std::string sStored;
    };
    const cCase aCases[] = {
        {"twenty-byte-name-xyz", "twenty-byte-nam"},
        {"fifteen-bytes-n", "fifteen-bytes-n"},
        {"sixteen-bytes-nm", "sixteen-bytes-n"},
        {"b", "b"},
    };
    for (const cCase& oCase : aCases) {
        oImage.setEntries(
            {{"first", 0x00000006, DATA_OFFSET, 3, 0}, {"a-long-old-name", 0, DATA_OFFSET, 0, 0}});
        save();
        {
            cMounted oMounted(sImage);
            oMounted.oFs.getFiles()[1].rename(oCase.sNewName);
            EXPECT_EQ(oMounted.oFs.getFiles()[1].getName(), oCase.sNewName) << "in memory the name is whole";
            oMounted.oFs.writeFat();
        }
        cTestImage oExpected = oImage;
        oExpected.setEntries(
            {{"first", 0x00000006, DATA_OFFSET, 3, 0}, {oCase.sStored, 0, DATA_OFFSET, 0, 0}});
        EXPECT_EQ(readBytes(), oExpected.lBytes) << oCase.sNewName;
        cMounted oAgain(sImage);
        EXPECT_EQ(oAgain.oFs.getFiles()[1].getName(), oCase.sStored);
        EXPECT_EQ(oAgain.oFs.getFiles()[0].getName(), "first");
    }
}

std::vector<cFatSlot> numberedEntries(uint32_t iCount) {
    std::vector<cFatSlot> lSlots;
    for (uint32_t i = 0; i < iCount; ++i)
        lSlots.push_back({"file" + std::to_string(i), i << CHECKSUM_SHIFT | (i & FLAG_BITS_MASK),
                          DATA_OFFSET + i * PAGE_SIZE, i, 0x10000 * i});
    return lSlots;
}

// A full table has no end slot: the write-back covers exactly the FAT area and nothing
// past it.
TEST_F(cFatTest, FullTableIsWrittenAsExactlyTheFatArea) {
    const std::vector<cFatSlot> lSlots = numberedEntries(FAT_MAX_ENTRIES);
    oImage.lBytes = randomBytes(DEVICE_SIZE, 3);
    initFatArea(oImage.fat());
    oImage.setEntries(lSlots);
    noisyHeader();
    save();
    {
        cMounted oMounted(sImage);
        ASSERT_EQ(oMounted.oFs.getFiles().size(), FAT_MAX_ENTRIES);
        expectEntry(oMounted.oFs.getFiles().back(), lSlots.back());
        oMounted.oFs.writeFat();
    }
    cTestImage oExpected = oImage;
    initFatArea(oExpected.fat());
    oExpected.setEntries(lSlots);
    EXPECT_EQ(readBytes(), oExpected.lBytes);
}

TEST_F(cFatTest, AlmostFullTableEndsInTheLastSlot) {
    const std::vector<cFatSlot> lSlots = numberedEntries(FAT_MAX_ENTRIES - 1);
    oImage.setEntries(lSlots);
    std::memset(oImage.slot(FAT_MAX_ENTRIES) + 1, NOISE, FAT_SLOT_SIZE - 1);
    save();
    {
        cMounted oMounted(sImage);
        ASSERT_EQ(oMounted.oFs.getFiles().size(), FAT_MAX_ENTRIES - 1);
        oMounted.oFs.writeFat();
    }
    std::memset(oImage.slot(FAT_MAX_ENTRIES), 0, FAT_SLOT_SIZE);
    EXPECT_EQ(readBytes(), oImage.lBytes);
}

TEST_F(cFatTest, MoreEntriesThanLoadedAreRefusedAndNothingIsWritten) {
    oImage.setEntries({{"one", 0, DATA_OFFSET, 0, 0}, {"two", 0, DATA_OFFSET, 0, 0}});
    noisyHeader();
    save();
    cMounted oMounted(sImage);
    std::vector<cTinyFsFile>& lFiles = oMounted.oFs.getFiles();
    lFiles.push_back(lFiles[0]);
    lFiles[0].rename("changed");
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.writeFat(); }), "too many files in FAT");
    EXPECT_EQ(readBytes(), oImage.lBytes);
}

// Size, checksum and name changes reach the device only through a write-back.
TEST_F(cFatTest, ChangesWithoutWriteBackAreLost) {
    oImage.setEntries({{"file", 0x00000004, DATA_OFFSET, 100, 0}});
    save();
    {
        cMounted oMounted(sImage);
        cTinyFsFile& oFile = oMounted.oFs.getFiles()[0];
        oFile.rename("other");
        oFile.clear();
        oFile.setChecksum(0x1234);
    }
    EXPECT_EQ(readBytes(), oImage.lBytes);
}

// Lookup in an eight-entry table whose names look like "%" forms themselves.
class cFindTest : public cFatTest {
  protected:
    void SetUp() override {
        std::vector<cFatSlot> lSlots;
        for (const char* sName : NAMES)
            lSlots.push_back({sName, 0, DATA_OFFSET, 0, 0});
        oImage.setEntries(lSlots);
        save();
        pMounted = std::make_unique<cMounted>(sImage);
    }
    static constexpr const char* NAMES[] = {"kernel", "%",   "%abc", "%9",
                                            "kernel", "%2x", " %1",  "abcdefghijklmno"};
    std::unique_ptr<cMounted> pMounted;
};

TEST_F(cFindTest, ByPositionByNameAndNotFound) {
    constexpr int NOT_FOUND = -1;
    struct cCase {
        std::string sName;
        int iIndex;
    };
    const cCase aCases[] = {
        {"%0", 0},
        {"%1", 1},
        {"%5", 5},
        {"%7", 7},
        {"%01", 1},
        {"% 1", 1},        // white space before the number is skipped
        {"%2x", 2},        // characters after the number are ignored, even with a file of that name
        {"%9", 3},         // no ninth position: by name
        {"%8", NOT_FOUND}, // past the end, and no such name
        {"%", 1},          // too short for a position
        {"%abc", 2},       // no number
        {" %1", 6},        // not a "%" form
        {"%4294967296", NOT_FOUND},
        {"kernel", 0}, // the first of two equal names
        {"abcdefghijklmno", 7},
        {"abcdefghijklmnop", NOT_FOUND}, // more than 15 bytes never matches
        {"abcdefghijklmn", NOT_FOUND},
        {"Kernel", NOT_FOUND},
        {"kernel ", NOT_FOUND},
        {"", NOT_FOUND},
        {std::string("kernel\0", 7), NOT_FOUND},
    };
    std::vector<cTinyFsFile>& lFiles = pMounted->oFs.getFiles();
    for (const cCase& oCase : aCases) {
        if (oCase.iIndex == NOT_FOUND) {
            EXPECT_EQ(thrownBy([&] { pMounted->oFs.find(oCase.sName); }),
                      "file entry not found (\"" + oCase.sName + "\")")
                << oCase.sName;
        } else {
            const cTinyFsFile* pFound = nullptr;
            EXPECT_EQ(thrownBy([&] { pFound = &pMounted->oFs.find(oCase.sName); }), "") << oCase.sName;
            EXPECT_EQ(pFound, &lFiles[size_t(oCase.iIndex)]) << oCase.sName;
        }
    }
}

TEST_F(cFindTest, ReturnsTheEntryInsideTheList) {
    pMounted->oFs.find("%6").rename("renamed");
    EXPECT_EQ(pMounted->oFs.getFiles()[6].getName(), "renamed");
    EXPECT_EQ(&pMounted->oFs.find("renamed"), &pMounted->oFs.getFiles()[6]);
}

TEST_F(cFatTest, PositionPastTheEndOfThreeEntriesSearchesByName) {
    oImage.setEntries(
        {{"a", 0, DATA_OFFSET, 0, 0}, {"b", 0, DATA_OFFSET, 0, 0}, {"c", 0, DATA_OFFSET, 0, 0}});
    save();
    {
        cMounted oMounted(sImage);
        EXPECT_EQ(&oMounted.oFs.find("%2"), &oMounted.oFs.getFiles()[2]);
        EXPECT_EQ(thrownBy([&] { oMounted.oFs.find("%3"); }), "file entry not found (\"%3\")");
    }
    oImage.setEntries(
        {{"a", 0, DATA_OFFSET, 0, 0}, {"b", 0, DATA_OFFSET, 0, 0}, {"%3", 0, DATA_OFFSET, 0, 0}});
    save();
    cMounted oMounted(sImage);
    EXPECT_EQ(&oMounted.oFs.find("%3"), &oMounted.oFs.getFiles()[2]);
}

TEST_F(cFatTest, EmptyTableFindsNothing) {
    save();
    cMounted oMounted(sImage);
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.find("%0"); }), "file entry not found (\"%0\")");
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.find("kernel"); }), "file entry not found (\"kernel\")");
}

} // namespace
