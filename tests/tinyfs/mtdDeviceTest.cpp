// Byte- and page-addressed transfers of cMtdDevice on a file standing in for the flash:
// the page arithmetic, preservation of the bytes around a write, that unchanged pages
// are never programmed, and every failure message with the image left as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/tinyfs/tinyfsTestSupport.h"

namespace {

constexpr uint32_t LAST_PAGE = uint32_t(PAGE_COUNT) - 1;
constexpr uint8_t GUARD = 0xA5; // destination bytes a read must not touch
constexpr uint32_t GUARD_BYTES = 64;

class cDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        lImage = randomBytes(DEVICE_SIZE, 42);
        writeBytes(sImage, lImage);
    }
    std::vector<uint8_t> readBytes() const { return ::readBytes(sImage); }

    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
    std::vector<uint8_t> lImage;
};

struct cTransfer {
    const char* sWhat;
    uint32_t iOffset;
    uint32_t iLength;
};

// Head only, whole pages only, head + whole + tail, and the worked layouts of the FAT and
// the device-identifier record.
const cTransfer TRANSFERS[] = {
    {"inside one page", 3 * PAGE_SIZE + 10, 100},
    {"up to the end of a page", 3 * PAGE_SIZE + 10, PAGE_SIZE - 10},
    {"one byte at a page end", 4 * PAGE_SIZE - 1, 1},
    {"one whole page", 5 * PAGE_SIZE, PAGE_SIZE},
    {"seven whole pages", 5 * PAGE_SIZE, 7 * PAGE_SIZE},
    {"head and tail", 5 * PAGE_SIZE + 1000, 56 + 30},
    {"head, whole pages and tail", 5 * PAGE_SIZE + 500, (PAGE_SIZE - 500) + 3 * PAGE_SIZE + 200},
    {"whole pages and tail", 9 * PAGE_SIZE, 2 * PAGE_SIZE + 5},
    {"head and whole pages", 9 * PAGE_SIZE + 7, (PAGE_SIZE - 7) + 2 * PAGE_SIZE},
    {"the FAT area", FAT_OFFSET, FAT_SIZE},
    {"the device-identifier record", DEVICE_ID_AREA, DEVICE_ID_AREA_SIZE},
    {"the last byte", DEVICE_SIZE - 1, 1},
    {"the last page", LAST_PAGE* PAGE_SIZE, PAGE_SIZE},
    {"the whole device", 0, DEVICE_SIZE},
};

TEST_F(cDeviceTest, GeometryIsFixed) {
    cMtdDevice oDevice(sImage);
    EXPECT_EQ(oDevice.getPageSize(), PAGE_SIZE);
    EXPECT_EQ(oDevice.getSize(), DEVICE_SIZE);
    EXPECT_EQ(oDevice.getChunkSize(), PAGE_SIZE);
}

TEST_F(cDeviceTest, ReadReturnsExactlyTheRangeAndNothingElse) {
    cMtdDevice oDevice(sImage);
    for (const cTransfer& oCase : TRANSFERS) {
        std::vector<uint8_t> lDest(oCase.iLength + 2 * GUARD_BYTES, GUARD);
        oDevice.read(oCase.iOffset, lDest.data() + GUARD_BYTES, oCase.iLength);
        const std::vector<uint8_t> lGuard(GUARD_BYTES, GUARD);
        EXPECT_TRUE(std::equal(lGuard.begin(), lGuard.end(), lDest.begin())) << oCase.sWhat;
        EXPECT_TRUE(std::equal(lGuard.begin(), lGuard.end(), lDest.end() - GUARD_BYTES)) << oCase.sWhat;
        EXPECT_TRUE(std::equal(lDest.begin() + GUARD_BYTES, lDest.end() - GUARD_BYTES,
                               lImage.begin() + oCase.iOffset))
            << oCase.sWhat;
    }
    EXPECT_EQ(readBytes(), lImage) << "a read changed the image";
}

TEST_F(cDeviceTest, WriteReplacesTheRangeAndPreservesEveryOtherByte) {
    uint32_t iSeed = 1000;
    for (const cTransfer& oCase : TRANSFERS) {
        const std::vector<uint8_t> lNew = randomBytes(oCase.iLength, ++iSeed);
        {
            cMtdDevice oDevice(sImage);
            oDevice.write(oCase.iOffset, lNew.data(), oCase.iLength);
        }
        std::copy(lNew.begin(), lNew.end(), lImage.begin() + oCase.iOffset);
        ASSERT_EQ(readBytes(), lImage) << oCase.sWhat;
    }
}

TEST_F(cDeviceTest, WriteOfTheBytesAlreadyThereLeavesTheImageIdentical) {
    cMtdDevice oDevice(sImage);
    for (const cTransfer& oCase : TRANSFERS)
        oDevice.write(oCase.iOffset, lImage.data() + oCase.iOffset, oCase.iLength);
    EXPECT_EQ(readBytes(), lImage);
}

TEST_F(cDeviceTest, ZeroLengthTransfersMoveNothing) {
    cMtdDevice oDevice(sImage);
    for (const uint32_t iOffset : {0u, 5 * PAGE_SIZE, 5 * PAGE_SIZE + 17, DEVICE_SIZE - 1, DEVICE_SIZE}) {
        uint8_t aDest[1] = {GUARD};
        const uint8_t aSource[1] = {uint8_t(~lImage[iOffset % DEVICE_SIZE])};
        EXPECT_EQ(thrownBy([&] { oDevice.read(iOffset, aDest, 0); }), "") << iOffset;
        EXPECT_EQ(aDest[0], GUARD) << iOffset;
        EXPECT_EQ(thrownBy([&] { oDevice.write(iOffset, aSource, 0); }), "") << iOffset;
    }
    EXPECT_EQ(readBytes(), lImage);
}

TEST_F(cDeviceTest, PageTransfersAddressWholePages) {
    cMtdDevice oDevice(sImage);
    std::vector<uint8_t> lPages(3 * PAGE_SIZE);
    oDevice.readPages(20, lPages.data(), 3);
    EXPECT_TRUE(std::equal(lPages.begin(), lPages.end(), lImage.begin() + 20 * PAGE_SIZE));

    const std::vector<uint8_t> lNew = randomBytes(2 * PAGE_SIZE, 5);
    oDevice.writePages(int32_t(LAST_PAGE) - 1, lNew.data(), 2);
    std::copy(lNew.begin(), lNew.end(), lImage.begin() + (LAST_PAGE - 1) * PAGE_SIZE);
    EXPECT_EQ(readBytes(), lImage);
}

// Flash pages wear with every program, so a page whose bytes stay the same is never
// written. On a file with holes a page write shows as allocated blocks.
TEST(DeviceWear, OnlyPagesWhoseBytesChangeAreWritten) {
    cTempDir oDir;
    const std::string sImage = oDir.file("sparse.bin");
    {
        const int iFd = ::open(sImage.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(iFd, 0);
        ASSERT_EQ(::ftruncate(iFd, DEVICE_SIZE), 0);
        ::close(iFd);
    }
    struct stat oStat;
    ASSERT_EQ(::stat(sImage.c_str(), &oStat), 0);
    if (oStat.st_blocks != 0)
        GTEST_SKIP() << "the file system of the test directory keeps no holes";

    // A long write of zeros over zeros: every page unchanged.
    constexpr uint32_t START = 40 * PAGE_SIZE + 123;
    constexpr uint32_t LENGTH = 100 * PAGE_SIZE;
    std::vector<uint8_t> lData(LENGTH, 0);
    cMtdDevice oDevice(sImage);
    oDevice.write(START, lData.data(), LENGTH);
    ASSERT_EQ(::stat(sImage.c_str(), &oStat), 0);
    EXPECT_EQ(oStat.st_blocks, 0) << "unchanged pages were written";

    // One changed byte in the middle: only its page is written.
    constexpr uint32_t CHANGED = START + LENGTH / 2;
    lData[CHANGED - START] = 1;
    oDevice.write(START, lData.data(), LENGTH);
    ASSERT_EQ(::stat(sImage.c_str(), &oStat), 0);
    const uint64_t iPageStart = CHANGED / PAGE_SIZE * PAGE_SIZE;
    const uint64_t iBlock = uint64_t(oStat.st_blksize);
    const uint64_t iCovering = ((iPageStart + PAGE_SIZE - 1) / iBlock - iPageStart / iBlock + 1) * iBlock;
    EXPECT_GT(oStat.st_blocks, 0);
    EXPECT_LE(uint64_t(oStat.st_blocks) * 512, iCovering) << "more than the changed page was written";

    std::vector<uint8_t> lExpected(DEVICE_SIZE, 0);
    lExpected[CHANGED] = 1;
    EXPECT_EQ(readBytes(sImage), lExpected);
}

// The transfers that reach past the last page, each with the message of the first step
// (head page, whole pages, tail page) that would leave the device.
struct cOutOfRange {
    const char* sWhat;
    enum { READ, WRITE, READ_PAGES, WRITE_PAGES } eCall;
    int64_t iWhere;  // byte offset, or page number for the page calls
    int64_t iLength; // bytes, or pages for the page calls
    const char* sMessage;
};

const cOutOfRange OUT_OF_RANGE[] = {
    {"read of a byte at the device end", cOutOfRange::READ, DEVICE_SIZE, 1, "invalid seek"},
    {"read of a page at the device end", cOutOfRange::READ, DEVICE_SIZE, PAGE_SIZE, "invalid seek"},
    {"read starting inside the page after the end", cOutOfRange::READ, DEVICE_SIZE + 5, 1, "invalid seek"},
    {"read of nothing inside the page after the end", cOutOfRange::READ, DEVICE_SIZE + 5, 0, "invalid seek"},
    {"read whose tail passes the end", cOutOfRange::READ, DEVICE_SIZE - 10, 20, "invalid seek"},
    {"read whose whole pages pass the end", cOutOfRange::READ, DEVICE_SIZE - 10, 10 + 2 * PAGE_SIZE,
     "invalid seek"},
    {"aligned read of two pages from the last", cOutOfRange::READ, DEVICE_SIZE - PAGE_SIZE, 2 * PAGE_SIZE,
     "incomplete read"},
    {"aligned read of the whole device from page 1", cOutOfRange::READ, PAGE_SIZE, DEVICE_SIZE,
     "incomplete read"},
    {"read of whole pages and a tail past the end", cOutOfRange::READ, DEVICE_SIZE - 2 * PAGE_SIZE,
     2 * PAGE_SIZE + 1, "invalid seek"},
    {"read at the highest offset", cOutOfRange::READ, 0xFFFFFFFF, 1, "invalid seek"},
    {"write of a byte at the device end", cOutOfRange::WRITE, DEVICE_SIZE, 1, "invalid seek"},
    {"write whose tail passes the end", cOutOfRange::WRITE, DEVICE_SIZE - 10, 20, "invalid seek"},
    {"aligned write of two pages from the last", cOutOfRange::WRITE, DEVICE_SIZE - PAGE_SIZE, 2 * PAGE_SIZE,
     "incomplete write"},
    {"write of head and whole pages past the end", cOutOfRange::WRITE, DEVICE_SIZE - 2 * PAGE_SIZE + 3,
     3 * PAGE_SIZE, "incomplete write"},
    {"write of whole pages and a tail past the end", cOutOfRange::WRITE, DEVICE_SIZE - 2 * PAGE_SIZE,
     2 * PAGE_SIZE + 1, "invalid seek"},
    {"page read at page 8192", cOutOfRange::READ_PAGES, PAGE_COUNT, 1, "invalid seek"},
    {"page read at a negative page", cOutOfRange::READ_PAGES, -1, 1, "invalid seek"},
    {"page read of two pages from the last", cOutOfRange::READ_PAGES, PAGE_COUNT - 1, 2, "incomplete read"},
    {"page read of every page from page 1", cOutOfRange::READ_PAGES, 1, PAGE_COUNT, "incomplete read"},
    {"page write at page 8192", cOutOfRange::WRITE_PAGES, PAGE_COUNT, 1, "invalid seek"},
    {"page write of two pages from the last", cOutOfRange::WRITE_PAGES, PAGE_COUNT - 1, 2,
     "incomplete write"},
};

void runOutOfRange(cMtdDevice& oDevice, const cOutOfRange& oCase, std::vector<uint8_t>& lBuffer) {
    const uint32_t iBytes = uint32_t(oCase.eCall == cOutOfRange::READ || oCase.eCall == cOutOfRange::WRITE
                                         ? oCase.iLength
                                         : oCase.iLength * PAGE_SIZE);
    lBuffer.assign(iBytes + 1, GUARD);
    switch (oCase.eCall) {
    case cOutOfRange::READ:
        oDevice.read(uint32_t(oCase.iWhere), lBuffer.data(), iBytes);
        break;
    case cOutOfRange::WRITE:
        oDevice.write(uint32_t(oCase.iWhere), lBuffer.data(), iBytes);
        break;
    case cOutOfRange::READ_PAGES:
        oDevice.readPages(int32_t(oCase.iWhere), lBuffer.data(), int32_t(oCase.iLength));
        break;
    case cOutOfRange::WRITE_PAGES:
        oDevice.writePages(int32_t(oCase.iWhere), lBuffer.data(), int32_t(oCase.iLength));
        break;
    }
}

TEST_F(cDeviceTest, TransfersPastTheEndFailBeforeAnyByteMoves) {
    cMtdDevice oDevice(sImage);
    std::vector<uint8_t> lBuffer;
    for (const cOutOfRange& oCase : OUT_OF_RANGE) {
        EXPECT_EQ(thrownBy([&] { runOutOfRange(oDevice, oCase, lBuffer); }), oCase.sMessage) << oCase.sWhat;
        EXPECT_EQ(std::count(lBuffer.begin(), lBuffer.end(), GUARD), std::ptrdiff_t(lBuffer.size()))
            << oCase.sWhat << ": destination touched";
    }
    const std::vector<uint8_t> lAfter = readBytes();
    EXPECT_EQ(lAfter.size(), DEVICE_SIZE);
    EXPECT_EQ(lAfter, lImage);

    // Still usable after the failures.
    std::vector<uint8_t> lLast(PAGE_SIZE);
    oDevice.read(LAST_PAGE * PAGE_SIZE, lLast.data(), PAGE_SIZE);
    EXPECT_TRUE(std::equal(lLast.begin(), lLast.end(), lImage.begin() + LAST_PAGE * PAGE_SIZE));
}

// A node that would answer past the last page is still held to the geometry.
TEST(DeviceGeometry, BytesBeyondTheLastPageAreNeverReachedEvenWhenTheFileHasThem) {
    cTempDir oDir;
    const std::string sImage = oDir.file("long.bin");
    const std::vector<uint8_t> lImage = randomBytes(DEVICE_SIZE + 3 * PAGE_SIZE, 9);
    writeBytes(sImage, lImage);
    cMtdDevice oDevice(sImage);
    std::vector<uint8_t> lBuffer;
    for (const cOutOfRange& oCase : OUT_OF_RANGE)
        EXPECT_EQ(thrownBy([&] { runOutOfRange(oDevice, oCase, lBuffer); }), oCase.sMessage) << oCase.sWhat;
    EXPECT_EQ(readBytes(sImage), lImage);
}

// A file shorter than the device answers reads past its end with fewer bytes; pages are
// read whole, so even a byte before the end fails when its page is cut short.
TEST(DeviceShortFile, ReadsPastItsEndAreIncompleteAndItNeverGrows) {
    cTempDir oDir;
    const std::string sImage = oDir.file("short.bin");
    constexpr uint32_t SHORT_PAGES = FAT_OFFSET / PAGE_SIZE + 1; // ends inside the FAT
    constexpr uint32_t SHORT_SIZE = SHORT_PAGES * PAGE_SIZE + 100;
    const std::vector<uint8_t> lImage = randomBytes(SHORT_SIZE, 11);
    writeBytes(sImage, lImage);
    cMtdDevice oDevice(sImage);

    std::vector<uint8_t> lBuffer(3 * PAGE_SIZE);
    oDevice.read(FAT_OFFSET, lBuffer.data(), 100);
    EXPECT_TRUE(std::equal(lBuffer.begin(), lBuffer.begin() + 100, lImage.begin() + FAT_OFFSET));

    EXPECT_EQ(thrownBy([&] { oDevice.read(SHORT_PAGES * PAGE_SIZE, lBuffer.data(), 1); }), "incomplete read");
    EXPECT_EQ(thrownBy([&] { oDevice.read(FAT_OFFSET, lBuffer.data(), PAGE_SIZE); }), "incomplete read");
    EXPECT_EQ(thrownBy([&] { oDevice.readPages(100, lBuffer.data(), 1); }), "incomplete read");
    EXPECT_EQ(thrownBy([&] { oDevice.readPages(SHORT_PAGES - 1, lBuffer.data(), 2); }), "incomplete read");
    // A write reads the pages it covers first, so a short file is never extended.
    EXPECT_EQ(thrownBy([&] { oDevice.write(50 * PAGE_SIZE, lBuffer.data(), 2 * PAGE_SIZE); }),
              "incomplete read");
    EXPECT_EQ(thrownBy([&] { oDevice.write(SHORT_PAGES * PAGE_SIZE, lBuffer.data(), 10); }),
              "incomplete read");
    EXPECT_EQ(thrownBy([&] { cTinyFs oFs(oDevice); }), "incomplete read");
    EXPECT_EQ(readBytes(sImage), lImage);
}

TEST(DeviceOpen, PathsThatCannotBeOpenedReadWrite) {
    cTempDir oDir;
    EXPECT_EQ(thrownBy([&] { cMtdDevice oDevice(oDir.file("missing.bin")); }), "unable to open device");
    EXPECT_EQ(thrownBy([&] { cMtdDevice oDevice(oDir.path()); }), "unable to open device");
    EXPECT_EQ(thrownBy([&] { cMtdDevice oDevice(""); }), "unable to open device");
    EXPECT_FALSE(fileExists(oDir.file("missing.bin"))) << "the device must never be created";
}

// Exit codes of the child that tries a read-only image.
constexpr int OPEN_REFUSED = 0;
constexpr int OPENED = 1;
constexpr int OTHER_FAILURE = 2;
constexpr int NOT_READABLE = 3;
constexpr uid_t NOBODY = 65534;

// The device is opened read/write only: an image the user may read but not write is
// refused. Root may write any file, so the attempt runs in a child without root rights.
TEST(DeviceOpen, ReadOnlyImageIsRefused) {
    cTempDir oDir;
    const std::string sImage = oDir.file("readonly.bin");
    writeBytes(sImage, std::vector<uint8_t>(DEVICE_SIZE, ERASED));
    ASSERT_EQ(::chmod(sImage.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(oDir.path().c_str(), 0755), 0);

    const pid_t iPid = ::fork();
    ASSERT_GE(iPid, 0);
    if (iPid == 0) {
        if (::geteuid() == 0 && (::setgid(NOBODY) != 0 || ::setuid(NOBODY) != 0))
            ::_exit(OTHER_FAILURE);
        const int iFd = ::open(sImage.c_str(), O_RDONLY);
        if (iFd < 0)
            ::_exit(NOT_READABLE);
        ::close(iFd);
        const std::string sMessage = thrownBy([&] { cMtdDevice oDevice(sImage); });
        ::_exit(sMessage == "unable to open device" ? OPEN_REFUSED
                : sMessage.empty()                  ? OPENED
                                                    : OTHER_FAILURE);
    }
    int iStatus = 0;
    ASSERT_EQ(::waitpid(iPid, &iStatus, 0), iPid);
    ASSERT_TRUE(WIFEXITED(iStatus));
    EXPECT_EQ(WEXITSTATUS(iStatus), OPEN_REFUSED);
}

// /dev/full reads zeros, fails every write, and answers every seek with position 0.
TEST(DeviceFull, MessagesOfANodeThatRefusesWrites) {
    cMtdDevice oDevice("/dev/full");
    std::vector<uint8_t> lPage(PAGE_SIZE, GUARD);
    oDevice.read(0, lPage.data(), PAGE_SIZE);
    EXPECT_EQ(lPage, std::vector<uint8_t>(PAGE_SIZE, 0));

    EXPECT_EQ(thrownBy([&] { oDevice.read(PAGE_SIZE, lPage.data(), 1); }), "invalid seek");
    EXPECT_EQ(thrownBy([&] { cTinyFs oFs(oDevice); }), "invalid seek");

    const std::vector<uint8_t> lOnes(10, 1);
    EXPECT_EQ(thrownBy([&] { oDevice.write(20, lOnes.data(), 10); }), "unable to write");
    // Zeros over zeros change no page, so no write call is made at all.
    const std::vector<uint8_t> lZeros(PAGE_SIZE, 0);
    EXPECT_EQ(thrownBy([&] { oDevice.write(0, lZeros.data(), PAGE_SIZE); }), "");
    EXPECT_EQ(thrownBy([&] { oDevice.write(100, lZeros.data(), 500); }), "");
}

// Reading memory at address 0 through /proc/self/mem fails with an error, which is how
// a node that cannot deliver a page answers.
TEST(DeviceReadError, ANegativeReadIsReported) {
    cMtdDevice oDevice("/proc/self/mem");
    std::vector<uint8_t> lPage(PAGE_SIZE, GUARD);
    EXPECT_EQ(thrownBy([&] { oDevice.readPages(0, lPage.data(), 1); }), "unable to read");
    EXPECT_EQ(thrownBy([&] { oDevice.read(10, lPage.data(), 10); }), "unable to read");
    EXPECT_EQ(thrownBy([&] { oDevice.write(0, lPage.data(), 10); }), "unable to read");
}

} // namespace
