// End-to-end tests of the commands that change the image: "--rename" and "--write",
// down to the FAT bytes they write back and the bytes they must leave alone.
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "tests/commands/commandTestSupport.h"

namespace {

constexpr uint8_t HEADER_JUNK = 0xa5;
constexpr uint8_t NAME_JUNK = 'j';
constexpr uint8_t END_SLOT_JUNK = 0xc3;
constexpr uint8_t LATER_SLOT_JUNK = 0xee;
constexpr uint32_t LATER_JUNK_SLOTS = 6;
// Bits 0, 1, 2 and 9: the tool knows only 1 and 2, and must keep all of them.
constexpr uint16_t KERNEL_FLAGS = 0x0207;
constexpr uint32_t KERNEL_LOAD = 0x8000;
constexpr char FIFTEEN[] = "fifteen-bytes-x";

// The FAT as a write-back leaves it: header of zeros and the magic word, the entries in
// order, one all-zero end slot; slots after it keep whatever they held.
void rewriteFat(tBytes& lImage, const std::vector<cFatSlot>& lEntries) {
    std::fill_n(lImage.begin() + FAT_OFFSET, FAT_SLOT_SIZE, uint8_t(0));
    putLe32(lImage, FAT_OFFSET + HEADER_MAGIC_POS, TINYFS_MAGIC);
    uint32_t iSlot = 1;
    for (const cFatSlot& oEntry : lEntries)
        putSlot(lImage, iSlot++, oEntry);
    std::fill_n(lImage.begin() + std::ptrdiff_t(slotPosition(iSlot)), FAT_SLOT_SIZE, uint8_t(0));
}

std::vector<cFatSlot> entriesOf(const tBytes& lImage) {
    std::vector<cFatSlot> lEntries;
    for (uint32_t iSlot = 1; iSlot < FAT_SLOTS && lImage[slotPosition(iSlot)] != 0; ++iSlot)
        lEntries.push_back(slotOf(lImage, iSlot));
    return lEntries;
}

// Three files, and a FAT carrying bytes that loading ignores: junk around the magic
// word, behind a name's terminator, in byte 15 of a 15-byte name, in the end slot after
// its first byte, and in the slots after the end slot.
tBytes renameImage() {
    cImageBuilder oBuilder;
    cImageFile oKernel = placedFile("kernel", pattern(500, 11), FIRST_FILE);
    oKernel.iFlagBits = KERNEL_FLAGS;
    oKernel.iLoadAddress = KERNEL_LOAD;
    oBuilder.addFile(oKernel);
    cImageFile oRootfs = placedFile("rootfs", pattern(700, 12), FIRST_FILE + 2 * PAGE_SIZE);
    oRootfs.iLoadAddress = 0x4000;
    oBuilder.addFile(oRootfs);
    cImageFile oLong = placedFile(FIFTEEN, pattern(20, 13), FIRST_FILE + 4 * PAGE_SIZE);
    oLong.iFlagBits = 0x8000;
    oBuilder.addFile(oLong);
    tBytes lImage = oBuilder.build();

    std::fill_n(lImage.begin() + FAT_OFFSET, HEADER_MAGIC_POS, HEADER_JUNK);
    std::fill_n(lImage.begin() + FAT_OFFSET + HEADER_MAGIC_POS + 4, FAT_SLOT_SIZE - HEADER_MAGIC_POS - 4,
                HEADER_JUNK);
    std::fill_n(lImage.begin() + std::ptrdiff_t(slotPosition(1) + 7), NAME_MAX - 6, NAME_JUNK);
    lImage[slotPosition(3) + NAME_MAX] = 'Z';
    std::fill_n(lImage.begin() + std::ptrdiff_t(slotPosition(4) + 1), FAT_SLOT_SIZE - 1, END_SLOT_JUNK);
    std::fill_n(lImage.begin() + std::ptrdiff_t(slotPosition(5)), LATER_JUNK_SLOTS * FAT_SLOT_SIZE,
                LATER_SLOT_JUNK);
    return lImage;
}

class cRenameTest : public cCommandTest {
  protected:
    void SetUp() override { useImage(renameImage()); }
};

TEST_F(cRenameTest, BuiltImageLoadsAsTheThreeFiles) {
    const std::vector<cFatSlot> lEntries = entriesOf(lBefore);
    ASSERT_EQ(3u, lEntries.size());
    EXPECT_EQ("kernel", lEntries[0].sName);
    EXPECT_EQ(KERNEL_FLAGS, lEntries[0].iFlags & FLAG_BITS_MASK);
    EXPECT_EQ(FIFTEEN, lEntries[2].sName);
}

TEST_F(cRenameTest, RewritesTheFatByItsRules) {
    EXPECT_EQ((cOutcome{deviceLine() + "** Renaming to vmlinuz\n", "", 0}),
              brellix({"--rename", "kernel", "vmlinuz"}));
    tBytes lExpected = lBefore;
    std::vector<cFatSlot> lEntries = entriesOf(lBefore);
    lEntries[0].sName = "vmlinuz";
    rewriteFat(lExpected, lEntries);
    EXPECT_EQ("", imageDifference(lExpected, image()));
    // The ignored bytes really were there and are gone now.
    EXPECT_EQ(0, image()[slotPosition(3) + NAME_MAX]);
    EXPECT_EQ(LATER_SLOT_JUNK, image()[slotPosition(5)]);
}

TEST_F(cRenameTest, ByPositionAndQuiet) {
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"-mv", "%2", "short", "-q"}));
    tBytes lExpected = lBefore;
    std::vector<cFatSlot> lEntries = entriesOf(lBefore);
    lEntries[2].sName = "short";
    rewriteFat(lExpected, lEntries);
    EXPECT_EQ("", imageDifference(lExpected, image()));
}

TEST_F(cRenameTest, LongNameIsStoredCutToFifteenBytes) {
    const std::string sLong = "a-name-of-twenty-byt";
    EXPECT_EQ((cOutcome{deviceLine() + "** Renaming to " + sLong + "\n", "", 0}),
              brellix({"--rename", "rootfs", sLong}));
    tBytes lExpected = lBefore;
    std::vector<cFatSlot> lEntries = entriesOf(lBefore);
    lEntries[1].sName = sLong.substr(0, NAME_MAX);
    rewriteFat(lExpected, lEntries);
    EXPECT_EQ("", imageDifference(lExpected, image()));
    EXPECT_EQ(0, image()[slotPosition(2) + NAME_MAX]);

    EXPECT_EQ((cOutcome{deviceLine(), "", 1}), brellix({"--exists", sLong}));
    EXPECT_EQ((cOutcome{deviceLine() + "** File exists.\n", "", 0}),
              brellix({"--exists", "a-name-of-twent"}));
}

TEST_F(cRenameTest, EmptyNewNameIsRefusedBeforeAnythingHappens) {
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: invalid new name (\"\")\n", 1}),
              brellix({"--rename", "kernel", ""}));
    EXPECT_EQ((cOutcome{"", "Fatal: invalid new name (\"\")\n", 1}), brellix({"--rename", "%1", "", "-q"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cRenameTest, MissingFileIsReportedFirst) {
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file entry not found (\"nope\")\n", 1}),
              brellix({"--rename", "nope", "other"}));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file entry not found (\"nope\")\n", 1}),
              brellix({"--rename", "nope", ""}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cRenameTest, NameOfAnotherFileIsAcceptedAndTheFirstInTableOrderWins) {
    EXPECT_EQ((cOutcome{deviceLine() + "** Renaming to kernel\n", "", 0}),
              brellix({"--rename", "rootfs", "kernel"}));
    const std::string sLocal = oDir.file("local.bin");
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "kernel", sLocal}));
    EXPECT_EQ(pattern(500, 11), readBytes(sLocal));
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "%1", sLocal}));
    EXPECT_EQ(pattern(700, 12), readBytes(sLocal));
}

// ---------------------------------------------------------------------------------------
// --write

// kernel owns KERNEL_ROOM bytes up to rootfs; the other files' load addresses lie below
// kernel's, so only the data offsets bound it.
constexpr uint32_t KERNEL_OLD_SIZE = 2000;
constexpr uint32_t KERNEL_ROOM = 5000;

tBytes writeImage(uint32_t iRootfsLoad) {
    cImageBuilder oBuilder;
    cImageFile oKernel = placedFile("kernel", pattern(KERNEL_OLD_SIZE, 14), FIRST_FILE);
    oKernel.iFlagBits = KERNEL_FLAGS;
    oKernel.iLoadAddress = KERNEL_LOAD;
    oBuilder.addFile(oKernel);
    cImageFile oRootfs = placedFile("rootfs", pattern(300, 15), FIRST_FILE + KERNEL_ROOM);
    oRootfs.iLoadAddress = iRootfsLoad;
    oBuilder.addFile(oRootfs);
    oBuilder.addFile(placedFile("logo", pattern(40, 16), FIRST_FILE + 2 * KERNEL_ROOM));
    return oBuilder.build();
}

class cWriteTest : public cCommandTest {
  protected:
    void SetUp() override { useImage(writeImage(0x100)); }

    // The image after kernel received lContents: the bytes at its offset, its size and
    // checksum in the FAT, everything else as before.
    tBytes afterKernelWrite(const tBytes& lContents) const {
        tBytes lExpected = lBefore;
        putBytes(lExpected, FIRST_FILE, lContents);
        std::vector<cFatSlot> lEntries = entriesOf(lBefore);
        lEntries[0].iSize = uint32_t(lContents.size());
        lEntries[0].iFlags = uint32_t(referenceCrc(lContents)) << CHECKSUM_SHIFT | KERNEL_FLAGS;
        rewriteFat(lExpected, lEntries);
        return lExpected;
    }

    const std::string sLocal = oDir.file("local.bin");
};

class cWriteSizeTest : public cWriteTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(cWriteSizeTest, ContentsSizeAndChecksumLandAndNothingElseMoves) {
    const tBytes lContents = pattern(GetParam(), 17 + GetParam());
    writeBytes(sLocal, lContents);
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--write", "kernel", sLocal}));
    const tBytes lAfter = image();
    EXPECT_EQ("", imageDifference(afterKernelWrite(lContents), lAfter));
    const cFatSlot oSlot = slotOf(lAfter, 1);
    EXPECT_EQ(FIRST_FILE, oSlot.iOffset);
    EXPECT_EQ(KERNEL_LOAD, oSlot.iLoadAddress);
    EXPECT_EQ(lContents, readBytes(sLocal));

    // What was written reads back and checks clean.
    const std::string sCopy = oDir.file("copy.bin");
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "kernel", sCopy}));
    EXPECT_EQ(lContents, readBytes(sCopy));
    EXPECT_EQ((cOutcome{deviceLine() +
                            "** Checking media integrity...\n** Checking boot-time integrity...\n"
                            "** Checking content integrity...\n  * Checking kernel...\n"
                            "  * Checking rootfs...\n  * Checking logo...\nFilesystem is ready and clean.\n",
                        "", 0}),
              brellix({"--check"}));
}

// Shorter and longer than the old contents, around one page, and the whole room.
INSTANTIATE_TEST_SUITE_P(Sizes, cWriteSizeTest,
                         ::testing::Values(1u, 1000u, PAGE_SIZE - 1, PAGE_SIZE, PAGE_SIZE + 1, 3000u,
                                           KERNEL_ROOM));

TEST_F(cWriteTest, OneByteMoreThanTheRoomChangesNothing) {
    writeBytes(sLocal, pattern(KERNEL_ROOM + 1, 18));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1}),
              brellix({"--write", "kernel", sLocal}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cWriteTest, ByPosition) {
    const tBytes lContents = pattern(77, 19);
    writeBytes(sLocal, lContents);
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"-w", "%0", sLocal, "-q"}));
    EXPECT_EQ("", imageDifference(afterKernelWrite(lContents), image()));
}

TEST_F(cWriteTest, EmptyLocalFileRecordsChecksumZero) {
    writeBytes(sLocal, {});
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--write", "kernel", sLocal}));
    const tBytes lAfter = image();
    EXPECT_EQ("", imageDifference(afterKernelWrite({}), lAfter));
    EXPECT_EQ(uint32_t(KERNEL_FLAGS), slotOf(lAfter, 1).iFlags);

    const std::string sCopy = oDir.file("copy.bin");
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "kernel", sCopy}));
    EXPECT_TRUE(fileExists(sCopy));
    EXPECT_EQ(tBytes(), readBytes(sCopy));
    EXPECT_EQ((cOutcome{deviceLine() +
                            "** Checking media integrity...\n** Checking boot-time integrity...\n"
                            "** Checking content integrity...\n  * Skip checking kernel (no checksum)...\n"
                            "  * Checking rootfs...\n  * Checking logo...\nFilesystem is ready and clean.\n",
                        "", 0}),
              brellix({"--check"}));
    const std::string sKernelLine = "kernel               | 0 bytes          | Sum: 0x0     | L(0x8000)XB    "
                                    " | 100% growable (5000 bytes left)\n";
    const cOutcome oListing = brellix({"--list", "--verbose"});
    EXPECT_EQ(0, oListing.iStatus);
    EXPECT_EQ(deviceLine() + sKernelLine, oListing.sOut.substr(0, deviceLine().size() + sKernelLine.size()));
}

TEST_F(cWriteTest, LocalFileOfMoreThanFourGibibytesIsRefused) {
    // Sparse: no disk space is used. Cut to 32 bits its length would be 5 bytes.
    writeBytes(sLocal, {});
    const uint64_t iLength = (uint64_t(1) << 32) + 5;
    ASSERT_EQ(0, ::truncate(sLocal.c_str(), off_t(iLength)));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1}),
              brellix({"--write", "kernel", sLocal}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cWriteTest, MissingLocalFileIsReported) {
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: unable to open file (" + sLocal + ")\n", 1}),
              brellix({"--write", "kernel", sLocal}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cWriteTest, MissingNameIsReportedEvenWhenTheLocalFileIsMissingToo) {
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file entry not found (\"nope\")\n", 1}),
              brellix({"--write", "nope", sLocal}));
    writeBytes(sLocal, pattern(10, 20));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file entry not found (\"nope\")\n", 1}),
              brellix({"--write", "nope", sLocal}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cWriteTest, AfterARenameTheWriteMustUseTheNewName) {
    const tBytes lContents = pattern(321, 21);
    writeBytes(sLocal, lContents);
    // The rename runs first whatever the order on the command line.
    EXPECT_EQ((cOutcome{deviceLine() + "** Renaming to vmlinuz\n", "", 0}),
              brellix({"--write", "vmlinuz", sLocal, "--rename", "kernel", "vmlinuz"}));
    tBytes lExpected = afterKernelWrite(lContents);
    putSlot(lExpected, 1, [&] {
        cFatSlot oSlot = slotOf(lExpected, 1);
        oSlot.sName = "vmlinuz";
        return oSlot;
    }());
    EXPECT_EQ("", imageDifference(lExpected, image()));
}

TEST_F(cWriteTest, AfterARenameTheOldNameIsGoneForTheWrite) {
    writeBytes(sLocal, pattern(321, 22));
    EXPECT_EQ((cOutcome{deviceLine() + "** Renaming to vmlinuz\n",
                        "Fatal: file entry not found (\"kernel\")\n", 1}),
              brellix({"--rename", "kernel", "vmlinuz", "--write", "kernel", sLocal}));
    // The rename stays done.
    tBytes lExpected = lBefore;
    std::vector<cFatSlot> lEntries = entriesOf(lBefore);
    lEntries[0].sName = "vmlinuz";
    rewriteFat(lExpected, lEntries);
    EXPECT_EQ("", imageDifference(lExpected, image()));
}

// Contents of many pages pass through several transfer pieces; the checksum must run on
// across all of them, on the way in and on the way out.
TEST_F(cWriteTest, LargeFileIsStreamedAndReadsBackWhole) {
    constexpr uint32_t BIG_ROOM = 256 * PAGE_SIZE;
    constexpr uint32_t BIG_SIZE = 200 * PAGE_SIZE + 3;
    cImageBuilder oBuilder;
    cImageFile oBig = placedFile("big", pattern(10, 25), FIRST_FILE);
    oBig.iFlagBits = FLAG_AX;
    oBuilder.addFile(oBig);
    oBuilder.addFile(placedFile("after", pattern(10, 26), FIRST_FILE + BIG_ROOM));
    useImage(oBuilder);

    const tBytes lContents = pattern(BIG_SIZE, 27);
    writeBytes(sLocal, lContents);
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--write", "big", sLocal}));
    tBytes lExpected = lBefore;
    putBytes(lExpected, FIRST_FILE, lContents);
    std::vector<cFatSlot> lEntries = entriesOf(lBefore);
    lEntries[0].iSize = BIG_SIZE;
    lEntries[0].iFlags = uint32_t(referenceCrc(lContents)) << CHECKSUM_SHIFT | FLAG_AX;
    rewriteFat(lExpected, lEntries);
    EXPECT_EQ("", imageDifference(lExpected, image()));

    const std::string sCopy = oDir.file("copy.bin");
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"--read", "big", sCopy, "--check", "-q"}));
    EXPECT_EQ(lContents, readBytes(sCopy));
}

// With flag bit 1, rootfs's load address 3000 bytes above kernel's is the tighter bound.
class cWriteLoadBoundTest : public cWriteTest {
  protected:
    void SetUp() override { useImage(writeImage(KERNEL_LOAD + 3000)); }
};

TEST_F(cWriteLoadBoundTest, RoomEndsAtTheNextHigherLoadAddress) {
    writeBytes(sLocal, pattern(3001, 23));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1}),
              brellix({"--write", "kernel", sLocal}));
    EXPECT_EQ("", unchanged());

    const tBytes lContents = pattern(3000, 24);
    writeBytes(sLocal, lContents);
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--write", "kernel", sLocal}));
    EXPECT_EQ("", imageDifference(afterKernelWrite(lContents), image()));
}

} // namespace
