// The image builder's images, read back through the storage layer: layout, FAT bytes,
// checksums, erased bytes, board settings; and every refusal with its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "tests/builder/builderTestSupport.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/crc16.h"
#include "tinyfs/layout.h"

namespace {

constexpr uint8_t ERASED = 0xFF;

// Every byte of lImage outside the listed [begin, end) ranges is erased flash.
void expectErasedOutside(const std::vector<uint8_t>& lImage,
                         std::vector<std::pair<uint32_t, uint32_t>> lUsed) {
    ASSERT_EQ(lImage.size(), DEVICE_SIZE);
    std::sort(lUsed.begin(), lUsed.end());
    uint32_t iPos = 0;
    size_t iStray = 0;
    uint32_t iFirstStray = 0;
    auto scan = [&](uint32_t iFrom, uint32_t iTo) {
        for (uint32_t i = iFrom; i < iTo; ++i)
            if (lImage[i] != ERASED && iStray++ == 0)
                iFirstStray = i;
    };
    for (const auto& oRange : lUsed) {
        scan(iPos, std::max(iPos, oRange.first));
        iPos = std::max(iPos, oRange.second);
    }
    scan(iPos, DEVICE_SIZE);
    EXPECT_EQ(iStray, 0u) << "first non-erased byte at 0x" << std::hex << iFirstStray;
}

std::pair<uint32_t, uint32_t> fatInUse(size_t iEntries) {
    return {FAT_OFFSET, FAT_OFFSET + uint32_t(std::min<size_t>(iEntries + 2, FAT_SLOTS)) * FAT_SLOT_SIZE};
}

const uint8_t* slotBytes(const std::vector<uint8_t>& lImage, uint32_t iSlot) {
    return lImage.data() + FAT_OFFSET + iSlot * FAT_SLOT_SIZE;
}

// ---- layout ----------------------------------------------------------------------

// Default placement: 0xC000 first, then the page boundary at or after offset + size +
// room, one page further after an empty file, never at the same offset twice.
TEST(ImageLayout, DefaultFilesFollowOnPageBoundaries) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("first", 100));          // 0xc000..0xc064 -> page 47
    oBuilder.addFile(fileOf("exact", 2112));         // 49632 + 2112 = 51744, a page boundary itself
    oBuilder.addFile(fileOf("roomy", 10, {}, 3000)); // 51744 + 3010 = 54754 -> page 52
    oBuilder.addFile(fileOf("empty", 0));            // 54912, empty: the next one goes a page on
    oBuilder.addFile(fileOf("last", 1));             // 55968
    const std::vector<uint32_t> lExpected = {0xC000, 49632, 51744, 54912, 55968};
    EXPECT_EQ(oBuilder.getOffsets(), lExpected);

    const std::vector<uint8_t> lImage = oBuilder.build();
    cMountedImage oMounted(lImage);
    const std::vector<std::string> lNames = {"first", "exact", "roomy", "empty", "last"};
    const std::vector<uint32_t> lSizes = {100, 2112, 10, 0, 1};
    ASSERT_EQ(oMounted.files().size(), lNames.size());
    for (size_t i = 0; i < lNames.size(); ++i) {
        const cTinyFsFile& oFile = oMounted.files()[i];
        EXPECT_EQ(oFile.getName(), lNames[i]);
        EXPECT_EQ(oFile.getOffset(), lExpected[i]) << lNames[i];
        EXPECT_EQ(oFile.getSize(), lSizes[i]) << lNames[i];
        if (i > 0) {
            EXPECT_EQ(oFile.getOffset() % PAGE_SIZE, 0u) << lNames[i];
        }
    }
    // The room of "roomy" belongs to it: its capacity reaches up to "empty".
    EXPECT_EQ(oMounted.fs().getCapacity(oMounted.files()[2], false), 54912u - 51744u);
    EXPECT_NO_THROW(oMounted.fs().checkIntegrity(false));
    EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));
}

TEST(ImageLayout, DefaultFileContinuesAfterAnExplicitOne) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("far", 1, 0x100000 + 5));
    oBuilder.addFile(fileOf("next", 1));
    oBuilder.addFile(fileOf("low", 0x20, 0x100)); // before the FAT: the next default file goes to 0xc000
    oBuilder.addFile(fileOf("after", 4));
    const std::vector<uint32_t> lExpected = {0x100005, 0x100020, 0x100, 0xC000};
    EXPECT_EQ(oBuilder.getOffsets(), lExpected);
    cMountedImage oMounted(oBuilder.build());
    for (size_t i = 0; i < lExpected.size(); ++i)
        EXPECT_EQ(oMounted.files()[i].getOffset(), lExpected[i]);
    EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));
}

TEST(ImageLayout, ContentsLieAtTheirOffsetsAndEverythingElseIsErased) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("kernel", 3000, {}, 500));
    oBuilder.addFile(fileOf("low", 0x30, 0x10));
    oBuilder.addFile(fileOf("tail", 40, DEVICE_SIZE - 40));
    const std::vector<uint8_t> lImage = oBuilder.build();
    const std::vector<uint32_t> lOffsets = oBuilder.getOffsets();

    std::vector<std::pair<uint32_t, uint32_t>> lUsed = {fatInUse(3)};
    for (size_t i = 0; i < oBuilder.getFiles().size(); ++i) {
        const std::vector<uint8_t>& lContents = oBuilder.getFiles()[i].lContents;
        EXPECT_TRUE(std::equal(lContents.begin(), lContents.end(), lImage.begin() + lOffsets[i])) << i;
        lUsed.push_back({lOffsets[i], lOffsets[i] + uint32_t(lContents.size())});
    }
    expectErasedOutside(lImage, lUsed);

    cMountedImage oMounted(lImage);
    std::vector<uint8_t> lRead(3000);
    oMounted.files()[0].read(lRead.data(), 3000);
    EXPECT_EQ(lRead, oBuilder.getFiles()[0].lContents);
}

// ---- the FAT bytes ---------------------------------------------------------------

TEST(ImageFat, HeaderEntriesEndSlotAndErasedRest) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("a", 1));
    oBuilder.addFile(fileOf("b", 2));
    const std::vector<uint8_t> lImage = oBuilder.build();

    const uint8_t* pHeader = slotBytes(lImage, 0);
    const std::vector<uint8_t> lMagic = {0x78, 0x56, 0x34, 0x12};
    for (uint32_t i = 0; i < FAT_SLOT_SIZE; ++i) {
        const bool bMagic = i >= HEADER_MAGIC_POS && i < HEADER_MAGIC_POS + 4;
        EXPECT_EQ(pHeader[i], bMagic ? lMagic[i - HEADER_MAGIC_POS] : 0) << "header byte " << i;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slotBytes(lImage, 1))), "a");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slotBytes(lImage, 2))), "b");
    EXPECT_TRUE(std::all_of(slotBytes(lImage, 3), slotBytes(lImage, 4), [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(slotBytes(lImage, 4), lImage.data() + DATA_OFFSET,
                            [](uint8_t b) { return b == ERASED; }));
}

TEST(ImageFat, NoFilesGivesAnEmptyTable) {
    const std::vector<uint8_t> lImage = cImageBuilder().build();
    EXPECT_TRUE(std::all_of(slotBytes(lImage, 1), slotBytes(lImage, 2), [](uint8_t b) { return b == 0; }));
    expectErasedOutside(lImage, {fatInUse(0)});
    cMountedImage oMounted(lImage);
    EXPECT_TRUE(oMounted.files().empty());
}

TEST(ImageFat, FullTableHasNoEndSlot) {
    cImageBuilder oBuilder;
    for (uint32_t i = 0; i < FAT_MAX_ENTRIES - 1; ++i)
        oBuilder.addFile(fileOf("f" + std::to_string(i), 0));
    oBuilder.setMac("00:11:22:33:44:55"); // the MAC file counts as an entry
    const std::vector<uint8_t> lImage = oBuilder.build();
    EXPECT_NE(slotBytes(lImage, FAT_SLOTS - 1)[0], 0);
    cMountedImage oMounted(lImage);
    ASSERT_EQ(oMounted.files().size(), FAT_MAX_ENTRIES);
    EXPECT_EQ(oMounted.files().back().getName(), MAC_FILE_NAME);
    EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));

    oBuilder.addFile(fileOf("one-too-many", 0));
    EXPECT_EQ(buildError(oBuilder), "too many files (1024, at most 1023)");
}

// ---- checksums, flags, load addresses --------------------------------------------

struct cChecksumCase {
    const char* sLabel;
    std::string sContents;
    bool bChecksum;
    std::optional<uint16_t> iChecksum;
    uint16_t iStored;
};

void PrintTo(const cChecksumCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class ImageChecksum : public ::testing::TestWithParam<cChecksumCase> {};

TEST_P(ImageChecksum, StoredInTheHighHalfOfTheFlags) {
    const cChecksumCase& oCase = GetParam();
    cImageFile oFile;
    oFile.sName = "file";
    oFile.lContents = bytesOf(oCase.sContents);
    oFile.iFlagBits = FLAG_X;
    oFile.bChecksum = oCase.bChecksum;
    oFile.iChecksum = oCase.iChecksum;
    cImageBuilder oBuilder;
    oBuilder.addFile(oFile);
    cMountedImage oMounted(oBuilder.build());
    const cTinyFsFile& oEntry = oMounted.files().at(0);
    EXPECT_EQ(oEntry.getChecksum(), oCase.iStored);
    EXPECT_EQ(oEntry.getFlags() & FLAG_BITS_MASK, FLAG_X);
    const bool bMatches = oCase.iStored == crc16(oFile.lContents.data(), oFile.lContents.size());
    if (bMatches) {
        EXPECT_NO_THROW(oMounted.fs().verifyChecksum(oEntry));
    } else {
        EXPECT_THROW(oMounted.fs().verifyChecksum(oEntry), std::string);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageChecksum,
    ::testing::Values(cChecksumCase{"checkValue", "123456789", true, std::nullopt, 0xA69D},
                      cChecksumCase{"abc", "abc", true, std::nullopt, 0xD278},
                      cChecksumCase{"emptyIsZero", "", true, std::nullopt, 0},
                      cChecksumCase{"none", "123456789", false, std::nullopt, 0},
                      cChecksumCase{"explicit", "123456789", true, uint16_t(0x1234), 0x1234},
                      cChecksumCase{"explicitWins", "abc", false, uint16_t(0xD278), 0xD278}),
    [](const ::testing::TestParamInfo<cChecksumCase>& oInfo) { return std::string(oInfo.param.sLabel); });

TEST(ImageFlags, RawBitsAndLoadAddressesSurvive) {
    struct cCase {
        uint16_t iFlagBits;
        uint32_t iLoadAddress;
    };
    const std::vector<cCase> lCases = {{0, 0},
                                       {FLAG_LOAD_ADDRESS, 0x20008000},
                                       {FLAG_X | FLAG_AX, 0},
                                       {0xFFFF & ~FLAG_LOAD_ADDRESS, 0xDEADBEEF}, // stored without the flag
                                       {0x8001, 0x10},
                                       {0xFFFF, 0xFFFFFFFF}};
    cImageBuilder oBuilder;
    for (size_t i = 0; i < lCases.size(); ++i) {
        cImageFile oFile = fileOf("f" + std::to_string(i), uint32_t(i));
        oFile.iFlagBits = lCases[i].iFlagBits;
        oFile.iLoadAddress = lCases[i].iLoadAddress;
        oBuilder.addFile(oFile);
    }
    cMountedImage oMounted(oBuilder.build());
    ASSERT_EQ(oMounted.files().size(), lCases.size());
    for (size_t i = 0; i < lCases.size(); ++i) {
        const cTinyFsFile& oEntry = oMounted.files()[i];
        EXPECT_EQ(oEntry.getFlags() & FLAG_BITS_MASK, lCases[i].iFlagBits) << i;
        EXPECT_EQ(oEntry.getLoadAddress(), lCases[i].iLoadAddress) << i;
        EXPECT_EQ(oEntry.hasLoadAddress(), (lCases[i].iFlagBits & FLAG_LOAD_ADDRESS) != 0) << i;
    }
    EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));
}

// ---- board settings --------------------------------------------------------------

TEST(ImageSettings, MacFileHoldsTheTextWithoutChecksum) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("kernel", 10));
    oBuilder.setMac("00:11:22:33:44:55", 7);
    oBuilder.addFile(fileOf("after", 1));
    cMountedImage oMounted(oBuilder.build());
    ASSERT_EQ(oMounted.files().size(), 3u);
    cTinyFsFile& oMac = oMounted.fs().find(MAC_FILE_NAME);
    EXPECT_EQ(&oMac, &oMounted.files()[1]);
    EXPECT_EQ(oMac.getChecksum(), NO_CHECKSUM);
    std::string sText(MAC_TEXT_LENGTH, '?');
    oMac.read(reinterpret_cast<uint8_t*>(sText.data()), MAC_TEXT_LENGTH);
    EXPECT_EQ(sText, "00:11:22:33:44:55");
    EXPECT_EQ(oMac.getSize(), MAC_TEXT_LENGTH);
    EXPECT_EQ(oMounted.files()[2].getOffset(), 48 * PAGE_SIZE); // 0xc000 + 10 -> page 47, + 17 + 7 -> page 48
}

TEST(ImageSettings, DeviceIdRecordDecodesAndLeavesTheRestErased) {
    for (const std::string& sId : {std::string(), std::string("BX-0042"), std::string(DEVICE_ID_MAX, 'z')}) {
        cImageBuilder oBuilder;
        oBuilder.setDeviceId(sId);
        const std::vector<uint8_t> lImage = oBuilder.build();
        std::string sRead = "unset";
        ASSERT_TRUE(decodeDeviceId(lImage.data() + DEVICE_ID_AREA, sRead)) << sId;
        EXPECT_EQ(sRead, sId);
        const uint32_t iRecord = 2 * DEVICE_ID_MARKER_LENGTH + uint32_t(sId.size()) + 1;
        expectErasedOutside(lImage, {fatInUse(0), {DEVICE_ID_AREA, DEVICE_ID_AREA + iRecord}});
    }
    std::string sUnused;
    const std::vector<uint8_t> lWithout = cImageBuilder().build();
    EXPECT_FALSE(decodeDeviceId(lWithout.data() + DEVICE_ID_AREA, sUnused));
}

TEST(ImageSettings, DeviceIdTooLongIsRefused) {
    cImageBuilder oBuilder;
    oBuilder.setDeviceId(std::string(DEVICE_ID_MAX + 1, 'z'));
    EXPECT_EQ(buildError(oBuilder),
              "device identifier \"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz\" is too long (33 bytes, at most 32)");
}

// ---- bounds ----------------------------------------------------------------------

struct cBoundsCase {
    const char* sLabel;
    uint32_t iOffset;
    uint32_t iSize;
    uint32_t iRoom;
    bool bDeviceId;
    const char* sError; // "" when the file is accepted
};

void PrintTo(const cBoundsCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class ImageBounds : public ::testing::TestWithParam<cBoundsCase> {};

TEST_P(ImageBounds, ExplicitOffsets) {
    const cBoundsCase& oCase = GetParam();
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("f", oCase.iSize, oCase.iOffset, oCase.iRoom));
    if (oCase.bDeviceId)
        oBuilder.setDeviceId("id");
    ASSERT_EQ(buildError(oBuilder), oCase.sError);
    if (*oCase.sError == '\0') {
        cMountedImage oMounted(oBuilder.build());
        EXPECT_EQ(oMounted.files().at(0).getOffset(), oCase.iOffset);
        EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));
        EXPECT_NO_THROW(oMounted.fs().verifyChecksum(oMounted.files()[0]));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageBounds,
    ::testing::Values(
        cBoundsCase{"atZero", 0, 0x10, 0, false, ""},
        cBoundsCase{"belowFatUpToIt", 0x3F00, 0x80, 0x80, false, ""},
        cBoundsCase{"belowFatIntoIt", 0x3F00, 0x80, 0x81, false,
                    "file \"f\" (0x3f00 + 0x101) runs into the FAT at 0x4000"},
        cBoundsCase{"fatStart", FAT_OFFSET, 1, 0, false,
                    "file \"f\" (0x4000 + 0x1) starts inside the FAT (0x4000..0xbfff)"},
        cBoundsCase{"fatLastByte", DATA_OFFSET - 1, 0, 0, false,
                    "file \"f\" (0xbfff + 0x0) starts inside the FAT (0x4000..0xbfff)"},
        cBoundsCase{"dataStart", DATA_OFFSET, 1, 0, false, ""},
        cBoundsCase{"upToDeviceEnd", DEVICE_SIZE - 0x100, 0x80, 0x80, false, ""},
        cBoundsCase{"overDeviceRecordWithoutId", DEVICE_ID_AREA, DEVICE_ID_AREA_SIZE, 0, false, ""},
        cBoundsCase{"pastDeviceEnd", DEVICE_SIZE - 0x100, 0x80, 0x81, false,
                    "file \"f\" (0x83ff00 + 0x101) passes the device end at 0x840000"},
        cBoundsCase{"emptyAtDeviceEnd", DEVICE_SIZE, 0, 0, false,
                    "file \"f\" (0x840000 + 0x0) passes the device end at 0x840000"},
        cBoundsCase{"roomWraps32Bits", DEVICE_SIZE - 0x100, 0x80, 0xFFFFFFFF, false,
                    "file \"f\" (0x83ff00 + 0x10000007f) passes the device end at 0x840000"},
        cBoundsCase{"upToDeviceRecord", DEVICE_ID_AREA - 0x80, 0x80, 0, true, ""},
        cBoundsCase{"intoDeviceRecord", DEVICE_ID_AREA - 0x80, 0x80, 1, true,
                    "file \"f\" (0x83ff40 + 0x81) runs into the device-identifier record at 0x83ffc0"},
        cBoundsCase{"emptyAtDeviceRecord", DEVICE_ID_AREA, 0, 0, true,
                    "file \"f\" (0x83ffc0 + 0x0) runs into the device-identifier record at 0x83ffc0"}),
    [](const ::testing::TestParamInfo<cBoundsCase>& oInfo) { return std::string(oInfo.param.sLabel); });

TEST(ImageBounds, DefaultFilesRunOutOfDevice) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("big", DEVICE_SIZE - DATA_OFFSET - 2 * PAGE_SIZE));
    oBuilder.addFile(fileOf("fits", 0, {}, 2 * PAGE_SIZE)); // at 0x83f7c0, its room ends at the device end
    oBuilder.addFile(fileOf("nospace", 1));
    EXPECT_EQ(buildError(oBuilder), "file \"nospace\" (0x840000 + 0x1) passes the device end at 0x840000");
}

// ---- overlaps --------------------------------------------------------------------

struct cPairCase {
    const char* sLabel;
    cImageFile oFirst;
    cImageFile oSecond;
    const char* sError;
};

void PrintTo(const cPairCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class ImageOverlap : public ::testing::TestWithParam<cPairCase> {};

TEST_P(ImageOverlap, Pairs) {
    const cPairCase& oCase = GetParam();
    cImageBuilder oBuilder;
    oBuilder.addFile(oCase.oFirst);
    oBuilder.addFile(oCase.oSecond);
    ASSERT_EQ(buildError(oBuilder), oCase.sError);
    if (*oCase.sError == '\0') {
        cMountedImage oMounted(oBuilder.build());
        EXPECT_NO_THROW(oMounted.fs().checkIntegrity(false));
        EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));
        for (const cTinyFsFile& oFile : oMounted.files())
            EXPECT_NO_THROW(oMounted.fs().verifyChecksum(oFile)) << oFile.getName();
    }
}

constexpr uint32_t AT = 0x10000;

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageOverlap,
    ::testing::Values(cPairCase{"lastByte", fileOf("a", 100, AT), fileOf("b", 1, AT + 99),
                                "files \"a\" (0x10000 + 0x64) and \"b\" (0x10063 + 0x1) overlap"},
                      cPairCase{"adjacent", fileOf("a", 100, AT), fileOf("b", 1, AT + 100), ""},
                      cPairCase{"intoRoom", fileOf("a", 100, AT, 50), fileOf("b", 1, AT + 149),
                                "files \"a\" (0x10000 + 0x96) and \"b\" (0x10095 + 0x1) overlap"},
                      cPairCase{"afterRoom", fileOf("a", 100, AT, 50), fileOf("b", 1, AT + 150), ""},
                      cPairCase{"laterAddedLower", fileOf("b", 1, AT + 10), fileOf("a", 100, AT),
                                "files \"b\" (0x1000a + 0x1) and \"a\" (0x10000 + 0x64) overlap"},
                      cPairCase{"sameOffsetBothUsed", fileOf("a", 1, AT), fileOf("b", 1, AT),
                                "files \"a\" (0x10000 + 0x1) and \"b\" (0x10000 + 0x1) overlap"},
                      cPairCase{"sameOffsetOneEmpty", fileOf("a", 100, AT), fileOf("b", 0, AT), ""},
                      cPairCase{"sameOffsetEmptyFirst", fileOf("a", 0, AT), fileOf("b", 100, AT), ""},
                      cPairCase{"sameOffsetEmptyWithRoom", fileOf("a", 100, AT), fileOf("b", 0, AT, 1),
                                "files \"a\" (0x10000 + 0x64) and \"b\" (0x10000 + 0x1) overlap"},
                      cPairCase{"emptyInside", fileOf("a", 100, AT), fileOf("b", 0, AT + 50),
                                "files \"a\" (0x10000 + 0x64) and \"b\" (0x10032 + 0x0) overlap"},
                      cPairCase{"emptyInsideRoom", fileOf("a", 100, AT, 10), fileOf("b", 0, AT + 105),
                                "files \"a\" (0x10000 + 0x6e) and \"b\" (0x10069 + 0x0) overlap"},
                      cPairCase{"emptyAtEnd", fileOf("a", 100, AT), fileOf("b", 0, AT + 100), ""},
                      cPairCase{"bothEmptyApart", fileOf("a", 0, AT), fileOf("b", 0, AT + 1), ""}),
    [](const ::testing::TestParamInfo<cPairCase>& oInfo) { return std::string(oInfo.param.sLabel); });

// A default-placed file follows its predecessor, whatever lies there already.
TEST(ImageOverlap, DefaultFileIntoAnExplicitOne) {
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("a", 10, 0xC500));
    oBuilder.addFile(fileOf("b", 1, DATA_OFFSET));
    oBuilder.addFile(fileOf("c", 0x400)); // page 47, 0xc1e0
    EXPECT_EQ(buildError(oBuilder), "files \"a\" (0xc500 + 0xa) and \"c\" (0xc1e0 + 0x400) overlap");
}

TEST(ImageOverlap, FoundAmongManyFiles) {
    cImageBuilder oBuilder;
    for (uint32_t i = 0; i < 50; ++i)
        oBuilder.addFile(fileOf("f" + std::to_string(i), 10));
    oBuilder.addFile(fileOf("late", 1, oBuilder.getOffsets()[20] + 9));
    EXPECT_EQ(buildError(oBuilder), "files \"f20\" (0x11040 + 0xa) and \"late\" (0x11049 + 0x1) overlap");
}

// ---- load addresses --------------------------------------------------------------

// The builder refuses a layout exactly when the boot-time check of the mounted image
// would fail. For a refused case the same image is built without the load flag and the
// flag is then set in the FAT bytes, to show the check failing there too.
struct cLoadCase {
    const char* sLabel;
    std::vector<std::pair<uint32_t, uint16_t>> lLoads; // load address and flag bits per file, all 0x200 bytes
    const char* sError;
};

void PrintTo(const cLoadCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class ImageLoadAddress : public ::testing::TestWithParam<cLoadCase> {};

TEST_P(ImageLoadAddress, BuilderAgreesWithBootTimeCheck) {
    const cLoadCase& oCase = GetParam();
    cImageBuilder oBuilder, oUnflagged;
    for (size_t i = 0; i < oCase.lLoads.size(); ++i) {
        cImageFile oFile = fileOf("f" + std::to_string(i), 0x200);
        oFile.iLoadAddress = oCase.lLoads[i].first;
        oFile.iFlagBits = oCase.lLoads[i].second;
        oBuilder.addFile(oFile);
        oFile.iFlagBits = 0;
        oUnflagged.addFile(oFile);
    }
    ASSERT_EQ(buildError(oBuilder), oCase.sError);
    if (*oCase.sError == '\0') {
        cMountedImage oMounted(oBuilder.build());
        EXPECT_NO_THROW(oMounted.fs().checkIntegrity(true));
        return;
    }
    std::vector<uint8_t> lImage = oUnflagged.build();
    for (size_t i = 0; i < oCase.lLoads.size(); ++i)
        lImage[FAT_OFFSET + (i + 1) * FAT_SLOT_SIZE + SLOT_FLAGS_POS] |= uint8_t(oCase.lLoads[i].second);
    cMountedImage oMounted(lImage);
    EXPECT_NO_THROW(oMounted.fs().checkIntegrity(false));
    EXPECT_THROW(oMounted.fs().checkIntegrity(true), std::string);
}

constexpr uint16_t L = FLAG_LOAD_ADDRESS;

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageLoadAddress,
    ::testing::Values(
        cLoadCase{"roomEnough", {{0x1000, L}, {0x1200, L}}, ""},
        cLoadCase{
            "tooClose",
            {{0x1000, L}, {0x11FF, L}},
            "file \"f0\" (0x200 bytes) does not fit below the next higher load address: room for 0x1ff bytes "
            "from load address 0x1000"},
        cLoadCase{
            "unflaggedNeighbourStillBounds",
            {{0x1000, L}, {0x1100, 0}},
            "file \"f0\" (0x200 bytes) does not fit below the next higher load address: room for 0x100 bytes "
            "from load address 0x1000"},
        cLoadCase{"unflaggedFileIsFree", {{0x1000, 0}, {0x1100, L}}, ""},
        cLoadCase{"sameLoadAddress", {{0x1000, L}, {0x1000, L}}, ""},
        cLoadCase{
            "nearestHigherCounts",
            {{0x1000, L}, {0x9000, L}, {0x1080, 0}},
            "file \"f0\" (0x200 bytes) does not fit below the next higher load address: room for 0x80 bytes "
            "from load address 0x1000"},
        // A distance of 2 GiB or more compares as negative and widens the room again.
        cLoadCase{"farNeighbourAfterNearOne", {{0, L}, {0x100, 0}, {0x90000000, 0}}, ""},
        cLoadCase{"farNeighbourOnly", {{0, L}, {0x90000000, 0}}, ""}),
    [](const ::testing::TestParamInfo<cLoadCase>& oInfo) { return std::string(oInfo.param.sLabel); });

// ---- names -----------------------------------------------------------------------

struct cNameCase {
    const char* sLabel;
    std::vector<std::string> lNames;
    const char* sError;
};

void PrintTo(const cNameCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class ImageNames : public ::testing::TestWithParam<cNameCase> {};

TEST_P(ImageNames, Refusals) {
    cImageBuilder oBuilder;
    for (const std::string& sName : GetParam().lNames)
        oBuilder.addFile(fileOf(sName, 1));
    EXPECT_EQ(buildError(oBuilder), GetParam().sError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageNames,
    ::testing::Values(
        cNameCase{"empty", {"a", ""}, "file 2 has an empty name"},
        cNameCase{"sixteenBytes",
                  {"0123456789abcdef"},
                  "file name \"0123456789abcdef\" is too long (16 bytes, at most 15)"},
        cNameCase{"zeroByte", {std::string("a\0b", 3)}, "file name \"a\\x00b\" contains a zero byte"},
        cNameCase{"duplicate", {"kernel", "rootfs", "kernel"}, "duplicate file name \"kernel\""},
        cNameCase{"controlsEscaped",
                  {"new\nline\"\\", "new\nline\"\\"},
                  "duplicate file name \"new\\x0aline\\\"\\\\\""}),
    [](const ::testing::TestParamInfo<cNameCase>& oInfo) { return std::string(oInfo.param.sLabel); });

TEST(ImageNames, FifteenBytesAndRawBytesLoadBack) {
    const std::vector<std::string> lNames = {"0123456789abcde",   "x",  "Kernel", "kernel",
                                             "\xC3\xA9t\xC3\xA9", "a b"};
    cImageBuilder oBuilder;
    for (const std::string& sName : lNames)
        oBuilder.addFile(fileOf(sName, 1));
    cMountedImage oMounted(oBuilder.build());
    ASSERT_EQ(oMounted.files().size(), lNames.size());
    for (size_t i = 0; i < lNames.size(); ++i)
        EXPECT_EQ(oMounted.files()[i].getName(), lNames[i]);
}

// ---- writing to disk -------------------------------------------------------------

TEST(ImageWrite, WritesTheBuiltImageWithNewFileMode) {
    cTempDir oDir;
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("kernel", 5000));
    oBuilder.setDeviceId("id");
    const mode_t iSaved = ::umask(022);
    oBuilder.writeTo(oDir.file("out.img"));
    ::umask(iSaved);
    const std::vector<unsigned char> lWritten = readBytes(oDir.file("out.img"));
    const std::vector<uint8_t> lBuilt = oBuilder.build();
    EXPECT_TRUE(lWritten == std::vector<unsigned char>(lBuilt.begin(), lBuilt.end()));
    struct stat oStat;
    ASSERT_EQ(::stat(oDir.file("out.img").c_str(), &oStat), 0);
    EXPECT_EQ(oStat.st_mode & 0777, 0644u);
}

TEST(ImageWrite, ReplacesAnExistingFile) {
    cTempDir oDir;
    writeBytes(oDir.file("out.img"), {1, 2, 3});
    cImageBuilder().writeTo(oDir.file("out.img"));
    EXPECT_EQ(readBytes(oDir.file("out.img")).size(), DEVICE_SIZE);
    EXPECT_EQ(readBytes(oDir.file("out.img"))[0], ERASED);
}

// The directory holds only what was there before: no partial image, no temporary file.
void expectOnly(const cTempDir& oDir, const std::string& sListing) {
    const cRunResult oLs = runProcess({"/bin/ls", "-A", oDir.path()});
    EXPECT_EQ(oLs.sOut, sListing);
}

TEST(ImageWrite, BuildFailureTouchesNothing) {
    cTempDir oDir;
    writeBytes(oDir.file("out.img"), {1, 2, 3});
    cImageBuilder oBuilder;
    oBuilder.addFile(fileOf("", 1));
    EXPECT_THROW(oBuilder.writeTo(oDir.file("out.img")), std::string);
    EXPECT_THROW(oBuilder.writeTo(oDir.file("new.img")), std::string);
    EXPECT_EQ(readBytes(oDir.file("out.img")), (std::vector<unsigned char>{1, 2, 3}));
    expectOnly(oDir, "out.img\n");
}

TEST(ImageWrite, FileSystemFailuresLeaveNoTemporaryFile) {
    cTempDir oDir;
    ASSERT_EQ(::mkdir(oDir.file("taken").c_str(), 0755), 0);
    try {
        cImageBuilder().writeTo(oDir.file("taken"));
        ADD_FAILURE() << "a directory was replaced";
    } catch (const std::string& sMessage) {
        EXPECT_EQ(sMessage, "cannot replace \"" + oDir.file("taken") + "\": Is a directory");
    }
    try {
        cImageBuilder().writeTo(oDir.file("missing/out.img"));
        ADD_FAILURE() << "wrote into a missing directory";
    } catch (const std::string& sMessage) {
        EXPECT_EQ(sMessage, "cannot create a temporary file beside \"" + oDir.file("missing/out.img") +
                                "\": No such file or directory");
    }
    expectOnly(oDir, "taken\n");
}

} // namespace
