// The changing commands ("--write", "--rename") on crafted images: transfers that would
// pass the device end fail before a byte moves, room is measured by the capacity rule
// however odd the table, and a successful change touches exactly its own contents and
// FAT slot. Each image afterwards is compared whole with the one expected.
#include <gtest/gtest.h>

#include "tests/hostile/hostileImage.h"

namespace {

constexpr uint32_t EDGE_SIZE = 10;
constexpr uint32_t EDGE_OFFSET = DEVICE_SIZE - EDGE_SIZE;
constexpr uint32_t BIG_OFFSET = 0x800000;
constexpr uint32_t BIG_CAPACITY = DEVICE_SIZE - BIG_OFFSET;

class cHostileWriteTest : public testing::Test {
  protected:
    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
    const std::string sSource = oDir.file("source.bin");

    std::string deviceLine() const { return "** using device " + sImage + "\n"; }

    void setSource(const std::string& sBytes) const {
        writeBytes(sSource, std::vector<unsigned char>(sBytes.begin(), sBytes.end()));
    }

    // Runs the tool on the image and checks the whole outcome.
    void expectRun(std::vector<std::string> lArgs, const std::string& sOut, const std::string& sErr,
                   int iStatus) const {
        lArgs.insert(lArgs.begin(), {"-d", sImage});
        const cRunResult oRun = runBrellix(lArgs);
        EXPECT_EQ(oRun.sOut, sOut);
        EXPECT_EQ(oRun.sErr, sErr);
        EXPECT_EQ(oRun.iStatus, iStatus);
    }

    void expectImage(const std::vector<uint8_t>& lExpected) const {
        const std::vector<uint8_t> lActual = readBytes(sImage);
        ASSERT_EQ(lActual.size(), lExpected.size()) << "the image changed its length";
        EXPECT_TRUE(lActual == lExpected) << "the image differs from the one expected";
    }
};

// The slot of entry iEntry (0-based) rewritten with these numbers.
void storeSlot(std::vector<uint8_t>& lImage, uint32_t iEntry, const cFatSlot& oSlot) {
    encodeSlot(lImage.data() + FAT_OFFSET + (iEntry + 1) * FAT_SLOT_SIZE, oSlot);
}

uint32_t checksummedFlags(const std::string& sContents, uint32_t iFlagBits = 0) {
    return uint32_t(crc16(sContents.data(), sContents.size())) << CHECKSUM_SHIFT | iFlagBits;
}

void storeBytes(std::vector<uint8_t>& lImage, uint32_t iOffset, const std::string& sBytes) {
    std::copy(sBytes.begin(), sBytes.end(), lImage.begin() + iOffset);
}

// Files whose data start past the device end, or whose end wraps past 2^32 to a small
// number: their room looks huge, but no byte may move.
TEST_F(cHostileWriteTest, WriteAtAnOffsetPastTheDeviceEndMovesNothing) {
    const struct {
        std::string sName;
        uint32_t iOffset;
    } lCases[] = {{"beyond", DEVICE_SIZE + 0x100}, {"wrap", 0xFFFFFF00}};
    for (const auto& oCase : lCases) {
        SCOPED_TRACE(oCase.sName);
        const cHostileImage oImage = cHostileImage().entry(oCase.sName, oCase.iOffset, 0x200, 0x42);
        oImage.writeTo(sImage);
        setSource("abc");
        expectRun({"--write", oCase.sName, sSource}, deviceLine(), "Fatal: invalid seek\n", 1);
        expectImage(oImage.bytes());
    }
}

TEST_F(cHostileWriteTest, WriteFillsTheLastBytesOfTheDeviceAndNoMore) {
    const cHostileImage oImage = cHostileImage().entry("edge", EDGE_OFFSET, EDGE_SIZE, 0x1234);
    oImage.writeTo(sImage);

    setSource("0123456789a");
    expectRun({"--write", "edge", sSource}, deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1);
    expectImage(oImage.bytes());

    const std::string sNew = "0123456789";
    setSource(sNew);
    expectRun({"--write", "edge", sSource}, deviceLine(), "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    storeBytes(lExpected, EDGE_OFFSET, sNew);
    storeSlot(lExpected, 0, {"edge", checksummedFlags(sNew), EDGE_OFFSET, EDGE_SIZE, 0});
    expectImage(lExpected);
}

// An entry whose size runs past the device end still owns the room up to the end; a
// rewrite within it makes the entry consistent again.
TEST_F(cHostileWriteTest, WriteRepairsAFileWhoseSizePassedTheDeviceEnd) {
    const cHostileImage oImage = cHostileImage().entry("big", BIG_OFFSET, 0x100000, 0x1234);
    oImage.writeTo(sImage);

    setSource(std::string(BIG_CAPACITY + 1, 'x'));
    expectRun({"--write", "big", sSource}, deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1);
    expectImage(oImage.bytes());

    const std::string sNew(BIG_CAPACITY, 'x');
    setSource(sNew);
    expectRun({"--write", "big", sSource}, deviceLine(), "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    storeBytes(lExpected, BIG_OFFSET, sNew);
    storeSlot(lExpected, 0, {"big", checksummedFlags(sNew), BIG_OFFSET, BIG_CAPACITY, 0});
    expectImage(lExpected);

    expectRun({"--check"}, deviceLine() + CHECK_PHASES + "  * Checking big...\n" + CHECK_CLEAN, "", 0);
}

TEST_F(cHostileWriteTest, FileWithoutRoomTakesOnlyAnEmptySource) {
    const cHostileImage oImage = cHostileImage().entry("no-room", DEVICE_SIZE, 0, 0);
    oImage.writeTo(sImage);

    setSource("a");
    expectRun({"--write", "no-room", sSource}, deviceLine(), "Fatal: file to big (filesystem unchanged)\n",
              1);
    expectImage(oImage.bytes());

    // Size 0 and checksum 0 again: the FAT write-back finds nothing to change.
    setSource("");
    expectRun({"--write", "no-room", sSource}, deviceLine(), "", 0);
    expectImage(oImage.bytes());
}

class cFullTableTest : public cHostileWriteTest {
  protected:
    static std::string name(uint32_t i) { return "file-" + std::to_string(i); }
    static std::string contents(uint32_t i) { return "contents of " + std::to_string(i); }
    static uint32_t offset(uint32_t i) { return DATA_OFFSET + i * PAGE_SIZE; }

    void SetUp() override {
        for (uint32_t i = 0; i < FAT_MAX_ENTRIES; ++i)
            oImage.file(name(i), offset(i), contents(i));
        oImage.writeTo(sImage);
    }

    cHostileImage oImage;
};

// A full table has no end slot; the write-back must not put one past the FAT.
TEST_F(cFullTableTest, RenameOfTheLastEntryChangesOnlyItsName) {
    const uint32_t iLast = FAT_MAX_ENTRIES - 1;
    expectRun({"--rename", "%" + std::to_string(iLast), "renamed"}, deviceLine() + "** Renaming to renamed\n",
              "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    storeSlot(
        lExpected, iLast,
        {"renamed", checksummedFlags(contents(iLast)), offset(iLast), uint32_t(contents(iLast).size()), 0});
    expectImage(lExpected);
}

TEST_F(cFullTableTest, WriteOfAMiddleEntryChangesOnlyItsContentsAndSlot) {
    const uint32_t iMiddle = FAT_MAX_ENTRIES / 2;
    const std::string sNew(PAGE_SIZE, 'n'); // exactly its room
    setSource(sNew);
    expectRun({"--write", name(iMiddle), sSource}, deviceLine(), "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    storeBytes(lExpected, offset(iMiddle), sNew);
    storeSlot(lExpected, iMiddle, {name(iMiddle), checksummedFlags(sNew), offset(iMiddle), PAGE_SIZE, 0});
    expectImage(lExpected);
}

TEST_F(cHostileWriteTest, DuplicateNamesChangeTheFirstEntryOnly) {
    const std::string sFirst = "first kernel", sSecond = "second kernel!";
    const cHostileImage oImage =
        cHostileImage().file("kernel", DATA_OFFSET, sFirst).file("kernel", DATA_OFFSET + PAGE_SIZE, sSecond);
    oImage.writeTo(sImage);

    const std::string sNew = "new kernel";
    setSource(sNew);
    expectRun({"--write", "kernel", sSource}, deviceLine(), "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    storeBytes(lExpected, DATA_OFFSET, sNew);
    storeSlot(lExpected, 0, {"kernel", checksummedFlags(sNew), DATA_OFFSET, uint32_t(sNew.size()), 0});
    expectImage(lExpected);

    expectRun({"--rename", "kernel", "old-kernel"}, deviceLine() + "** Renaming to old-kernel\n", "", 0);
    storeSlot(lExpected, 0, {"old-kernel", checksummedFlags(sNew), DATA_OFFSET, uint32_t(sNew.size()), 0});
    expectImage(lExpected);
    expectRun({"--read-stdout", "kernel"}, sSecond, "", 0);
}

// Erased slots after the table give the first file, by the signed distance rule, room
// up to 4 GiB. A source longer than the rest of the device then fails at the device end,
// the FAT unchanged and the image no longer than the device.
// Erased slots after the table read as entries far past the device end, which give
// "alpha" room beyond it; contents that would be cut off there are refused up front.
TEST_F(cHostileWriteTest, WritePastTheDeviceEndIsRefusedWithTheImageUnchanged) {
    const cHostileImage oImage = cHostileImage()
                                     .file("alpha", DATA_OFFSET, "alpha")
                                     .file("beta", DATA_OFFSET + PAGE_SIZE, "beta")
                                     .fillAfterTable(ERASED_BYTE);
    oImage.writeTo(sImage);
    setSource(std::string(DEVICE_SIZE - DATA_OFFSET + 1, 'z'));
    expectRun({"--write", "alpha", sSource}, deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1);
    EXPECT_TRUE(readBytes(sImage) == oImage.bytes()) << "the image changed";
}

} // namespace
