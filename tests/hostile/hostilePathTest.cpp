// The built tool on unusable device paths, image files shorter than the device, and
// hostile local files: each failure ends with its own message and exit status 1, no
// run hangs, and the image is left as it was and never grows.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/hostile/hostileImage.h"

namespace {

const std::string OPEN_DEVICE_FAILURE = "Fatal: unable to open device\n";
const std::string INCOMPLETE_READ = "Fatal: incomplete read\n";

// A path root itself cannot open read/write: a sysfs file without a write operation.
const std::string UNOPENABLE_DEVICE = "/sys/kernel/notes";
// A local file root cannot read (a write-only setting) and one root cannot write.
const std::string UNREADABLE_FILE = "/proc/sys/vm/compact_memory";
const std::string UNWRITABLE_FILE = "/proc/sys/kernel/osrelease";

bool opensAs(const std::string& sPath, int iFlags) {
    const int iFd = ::open(sPath.c_str(), iFlags);
    if (iFd < 0)
        return false;
    ::close(iFd);
    return true;
}

// A descriptor closed with the object.
class cFd {
  public:
    explicit cFd(int iFd) : iFd(iFd) {}
    ~cFd() {
        if (iFd >= 0)
            ::close(iFd);
    }
    cFd(const cFd&) = delete;
    cFd& operator=(const cFd&) = delete;
    int get() const { return iFd; }

  private:
    int iFd;
};

class cHostilePathTest : public testing::Test {
  protected:
    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
    const std::string sLocal = oDir.file("local.bin");

    static std::string deviceLine(const std::string& sPath) { return "** using device " + sPath + "\n"; }

    void expectRun(const std::vector<std::string>& lArgs, const std::string& sOut, const std::string& sErr,
                   int iStatus) const {
        const cRunResult oRun = runBrellix(lArgs);
        EXPECT_EQ(oRun.sOut, sOut);
        EXPECT_EQ(oRun.sErr, sErr);
        EXPECT_EQ(oRun.iStatus, iStatus);
    }

    void expectImage(const std::vector<uint8_t>& lExpected) const {
        const std::vector<uint8_t> lActual = readBytes(sImage);
        ASSERT_EQ(lActual.size(), lExpected.size()) << "the image changed its length";
        EXPECT_TRUE(lActual == lExpected) << "the image changed";
    }
};

// ---- device paths ---------------------------------------------------------------

TEST_F(cHostilePathTest, DevicePathsThatCannotBeOpened) {
    cHostileImage().writeTo(sImage);
    ASSERT_EQ(::mkdir(oDir.file("directory").c_str(), 0755), 0);
    const std::string lPaths[] = {oDir.file("directory"), oDir.file("missing"), sImage + "/inside-a-file",
                                  oDir.file("missing-directory/image.bin")};
    for (const std::string& sPath : lPaths) {
        SCOPED_TRACE(sPath);
        for (const std::vector<std::string>& lCommand : {std::vector<std::string>{"--list"},
                                                         {"--list", "-v"},
                                                         {"--check"},
                                                         {"--check", "--force"},
                                                         {"--read", "kernel", sLocal},
                                                         {"--write", "kernel", sImage},
                                                         {"--get-device-id"}}) {
            std::vector<std::string> lArgs = {"-d", sPath};
            lArgs.insert(lArgs.end(), lCommand.begin(), lCommand.end());
            expectRun(lArgs, deviceLine(sPath), OPEN_DEVICE_FAILURE, 1);
        }
        expectRun({"-d", sPath, "--read-stdout", "kernel"}, "", OPEN_DEVICE_FAILURE, 1);
    }
    EXPECT_FALSE(fileExists(sLocal));
}

TEST_F(cHostilePathTest, DevicePathRootCannotOpenReadWrite) {
    if (opensAs(UNOPENABLE_DEVICE, O_RDWR))
        GTEST_SKIP() << UNOPENABLE_DEVICE
                     << " opens read/write here, so it cannot stand for an unopenable device";
    expectRun({"-d", UNOPENABLE_DEVICE, "--list"}, deviceLine(UNOPENABLE_DEVICE), OPEN_DEVICE_FAILURE, 1);
    expectRun({"-d", UNOPENABLE_DEVICE, "--check"}, deviceLine(UNOPENABLE_DEVICE), OPEN_DEVICE_FAILURE, 1);
}

// Nodes that open but cannot seek: a FIFO (opening it read/write never waits for a
// peer) and the null device, whose seeks all land at 0.
TEST_F(cHostilePathTest, DeviceNodesThatCannotSeek) {
    const std::string sFifo = oDir.file("fifo");
    ASSERT_EQ(::mkfifo(sFifo.c_str(), 0600), 0);
    for (const std::string& sPath : {sFifo, std::string("/dev/null")}) {
        SCOPED_TRACE(sPath);
        expectRun({"-d", sPath, "--list"}, deviceLine(sPath), "Fatal: invalid seek\n", 1);
        expectRun({"-d", sPath, "--check"}, deviceLine(sPath), "Fatal: invalid seek\n", 1);
        expectRun({"-d", sPath, "--set-device-id", "id"}, deviceLine(sPath), "Fatal: invalid seek\n", 1);
    }
}

// ---- image files shorter than the device ----------------------------------------

constexpr uint32_t LATE_OFFSET = 0x500000;
constexpr uint32_t HALF_DEVICE = DEVICE_SIZE / 2;
// The FAT's last page ends here; a shorter file cannot even be mounted.
constexpr uint32_t FAT_PAGES_END = ((FAT_OFFSET + FAT_SIZE) / PAGE_SIZE + 1) * PAGE_SIZE;

const std::string KERNEL = "kernel-data";
const std::string LATE = "late-file";

cHostileImage twoFileImage() {
    return cHostileImage().file("kernel", DATA_OFFSET, KERNEL).file("late", LATE_OFFSET, LATE);
}

std::string twoFileListing() {
    const uint32_t iKernelRoom = LATE_OFFSET - DATA_OFFSET, iLateRoom = DEVICE_SIZE - LATE_OFFSET;
    return listLine("kernel", uint32_t(KERNEL.size()), 100, iKernelRoom - uint32_t(KERNEL.size())) +
           listLine("late", uint32_t(LATE.size()), 100, iLateRoom - uint32_t(LATE.size()));
}

TEST_F(cHostilePathTest, ImageTooShortToHoldTheFat) {
    for (const uint32_t iLength : {uint32_t(0), FAT_OFFSET, DATA_OFFSET, FAT_PAGES_END - 1}) {
        SCOPED_TRACE(iLength);
        const cHostileImage oImage = twoFileImage().truncate(iLength);
        oImage.writeTo(sImage);
        expectRun({"-d", sImage, "--list"}, deviceLine(sImage), INCOMPLETE_READ, 1);
        expectRun({"-d", sImage, "--check"}, deviceLine(sImage), INCOMPLETE_READ, 1);
        expectRun({"-d", sImage, "--rename", "kernel", "other"}, deviceLine(sImage), INCOMPLETE_READ, 1);
        expectRun({"-d", sImage, "--set-device-id", "id"}, deviceLine(sImage), INCOMPLETE_READ, 1);
        expectImage(oImage.bytes());
    }
}

TEST_F(cHostilePathTest, ImageEndingWithTheFatsLastPageMounts) {
    const cHostileImage oImage = twoFileImage().truncate(FAT_PAGES_END);
    oImage.writeTo(sImage);
    expectRun({"-d", sImage, "--list"}, deviceLine(sImage) + twoFileListing(), "", 0);
    expectImage(oImage.bytes());
}

TEST_F(cHostilePathTest, HalfAnImage) {
    const cHostileImage oImage = twoFileImage().truncate(HALF_DEVICE);
    oImage.writeTo(sImage);
    const std::string sDevice = deviceLine(sImage);
    const std::string sChecking = CHECK_PHASES + "  * Checking kernel...\n  * Checking late...\n";

    expectRun({"-d", sImage, "--list"}, sDevice + twoFileListing(), "", 0);
    expectRun({"-d", sImage, "--check"}, sDevice + sChecking, INCOMPLETE_READ, 1);
    expectRun({"-d", sImage, "--check", "--force"},
              sDevice + sChecking + "** incomplete read\n" + CHECK_NOT_READY, "", 0);
    expectRun({"-d", sImage, "--read", "late", sLocal}, sDevice, INCOMPLETE_READ, 1);
    EXPECT_FALSE(fileExists(sLocal));
    expectRun({"-d", sImage, "--read-stdout", "late"}, "", INCOMPLETE_READ, 1);
    expectRun({"-d", sImage, "--get-device-id"}, sDevice, INCOMPLETE_READ, 1);
    expectImage(oImage.bytes());

    // Changes past the end of the file fail before writing, so the file never grows.
    const std::string sSource = oDir.file("source.bin");
    writeBytes(sSource, {'n', 'e', 'w'});
    expectRun({"-d", sImage, "--write", "late", sSource}, sDevice, INCOMPLETE_READ, 1);
    expectRun({"-d", sImage, "--set-device-id", "id"}, sDevice, INCOMPLETE_READ, 1);
    expectImage(oImage.bytes());

    // What lies inside the file still reads and changes.
    expectRun({"-d", sImage, "--read-stdout", "kernel"}, KERNEL, "", 0);
    expectRun({"-d", sImage, "--write", "kernel", sSource}, sDevice, "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    std::copy_n("new", 3, lExpected.begin() + DATA_OFFSET);
    encodeSlot(lExpected.data() + FAT_OFFSET + FAT_SLOT_SIZE,
               {"kernel", uint32_t(crc16("new", 3)) << CHECKSUM_SHIFT, DATA_OFFSET, 3, 0});
    expectImage(lExpected);
}

TEST_F(cHostilePathTest, ImageOneByteShortOfTheDevice) {
    const cHostileImage oImage = twoFileImage().truncate(DEVICE_SIZE - 1);
    oImage.writeTo(sImage);
    expectRun({"-d", sImage, "--list"}, deviceLine(sImage) + twoFileListing(), "", 0);
    expectRun({"-d", sImage, "--get-device-id"}, deviceLine(sImage), INCOMPLETE_READ, 1);
    expectRun({"-d", sImage, "--set-device-id", "id"}, deviceLine(sImage), INCOMPLETE_READ, 1);
    expectImage(oImage.bytes());
}

// ---- local files ----------------------------------------------------------------

constexpr uint32_t SMALL_OFFSET = 0x100000;
constexpr uint32_t SMALL_ROOM = 20 * PAGE_SIZE;
// Longer than a stream buffer, so a full device shows in the write itself, not only
// when the stream is closed.
constexpr uint32_t LARGE_SIZE = 8 * PAGE_SIZE;

class cLocalFileTest : public cHostilePathTest {
  protected:
    void SetUp() override {
        oImage.file("large", DATA_OFFSET, std::string(LARGE_SIZE, 'L'))
            .file("small", SMALL_OFFSET, "abc")
            .file("after", SMALL_OFFSET + SMALL_ROOM, "after");
        oImage.writeTo(sImage);
    }

    void expectFails(const std::vector<std::string>& lCommand, const std::string& sErr) const {
        std::vector<std::string> lArgs = {"-d", sImage};
        lArgs.insert(lArgs.end(), lCommand.begin(), lCommand.end());
        expectRun(lArgs, deviceLine(sImage), sErr, 1);
        expectImage(oImage.bytes());
    }

    cHostileImage oImage;
};

TEST_F(cLocalFileTest, ReadTargetsThatCannotBeOpened) {
    ASSERT_EQ(::mkdir(oDir.file("directory").c_str(), 0755), 0);
    for (const std::string& sPath : {oDir.file("missing-directory/local.bin"), oDir.file("directory")}) {
        SCOPED_TRACE(sPath);
        expectFails({"--read", "small", sPath}, "Fatal: unable to open file (" + sPath + ")\n");
    }
    EXPECT_FALSE(fileExists(oDir.file("missing-directory")));
}

TEST_F(cLocalFileTest, ReadTargetRootCannotWrite) {
    if (opensAs(UNWRITABLE_FILE, O_RDWR))
        GTEST_SKIP() << UNWRITABLE_FILE << " opens for writing here";
    expectFails({"--read", "small", UNWRITABLE_FILE},
                "Fatal: unable to open file (" + UNWRITABLE_FILE + ")\n");
}

TEST_F(cLocalFileTest, ReadIntoAFullDevice) {
    for (const char* sName : {"small", "large"}) {
        SCOPED_TRACE(sName);
        expectFails({"--read", sName, "/dev/full"}, "Fatal: unable to write data\n");
    }
}

TEST_F(cLocalFileTest, ReadStdoutIntoAFullDevice) {
    const cRunResult oRun = runProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", brellixPath(), "-d",
                                        sImage, "--read-stdout", "small"});
    EXPECT_EQ(oRun.sOut, "");
    EXPECT_EQ(oRun.sErr, "Fatal: unable to write data\n");
    EXPECT_EQ(oRun.iStatus, 1);
    expectImage(oImage.bytes());
}

// A FIFO opened with "w+" does not wait for a reader; the contents go into the pipe.
TEST_F(cLocalFileTest, ReadIntoAFifo) {
    const std::string sFifo = oDir.file("fifo");
    ASSERT_EQ(::mkfifo(sFifo.c_str(), 0600), 0);
    const cFd oPipe(::open(sFifo.c_str(), O_RDWR | O_NONBLOCK)); // keeps the pipe alive
    ASSERT_GE(oPipe.get(), 0);
    expectRun({"-d", sImage, "--read", "small", sFifo}, deviceLine(sImage), "", 0);
    char aBuffer[16] = {};
    EXPECT_EQ(::read(oPipe.get(), aBuffer, sizeof aBuffer), 3);
    EXPECT_EQ(std::string(aBuffer), "abc");
    expectImage(oImage.bytes());
}

TEST_F(cLocalFileTest, WriteSourcesThatCannotBeOpened) {
    for (const std::string& sPath : {oDir.file("missing-directory/source.bin"), oDir.file("missing.bin")}) {
        SCOPED_TRACE(sPath);
        expectFails({"--write", "small", sPath}, "Fatal: unable to open file (" + sPath + ")\n");
    }
}

TEST_F(cLocalFileTest, WriteSourceRootCannotRead) {
    if (opensAs(UNREADABLE_FILE, O_RDONLY))
        GTEST_SKIP() << UNREADABLE_FILE << " opens for reading here";
    expectFails({"--write", "small", UNREADABLE_FILE},
                "Fatal: unable to open file (" + UNREADABLE_FILE + ")\n");
}

// A directory opens for reading; the length it reports depends on its file system
// (none, or a huge one), and reading it fails. Any of the three refusals is right, as
// long as the image stays as it was.
TEST_F(cLocalFileTest, WriteFromADirectoryIsRefused) {
    const std::string sDirectory = oDir.file("directory");
    ASSERT_EQ(::mkdir(sDirectory.c_str(), 0755), 0);
    const cRunResult oRun = runBrellix({"-d", sImage, "--write", "small", sDirectory});
    EXPECT_EQ(oRun.sOut, deviceLine(sImage));
    EXPECT_TRUE(oRun.sErr == "Fatal: seek error\n" ||
                oRun.sErr == "Fatal: file to big (filesystem unchanged)\n" ||
                oRun.sErr == "Fatal: unable to read data\n")
        << oRun.sErr;
    EXPECT_EQ(oRun.iStatus, 1);
    expectImage(oImage.bytes());
}

// A FIFO has no length: the seek to its end fails before anything is read. A writer is
// held open so that opening it for reading does not wait.
TEST_F(cLocalFileTest, WriteFromAFifo) {
    const std::string sFifo = oDir.file("fifo");
    ASSERT_EQ(::mkfifo(sFifo.c_str(), 0600), 0);
    const cFd oWriter(::open(sFifo.c_str(), O_RDWR | O_NONBLOCK));
    ASSERT_GE(oWriter.get(), 0);
    ASSERT_EQ(::write(oWriter.get(), "xyz", 3), 3);
    expectFails({"--write", "small", sFifo}, "Fatal: seek error\n");
}

TEST_F(cLocalFileTest, WriteFromAnEmptyFile) {
    const std::string sEmpty = oDir.file("empty.bin");
    writeBytes(sEmpty, {});
    expectRun({"-d", sImage, "--write", "small", sEmpty}, deviceLine(sImage), "", 0);
    std::vector<uint8_t> lExpected = oImage.bytes();
    encodeSlot(lExpected.data() + FAT_OFFSET + 2 * FAT_SLOT_SIZE, {"small", 0, SMALL_OFFSET, 0, 0});
    expectImage(lExpected);
}

// The zero device reports length 0 and then never ends: the rewrite stops at the room
// of the file, having written only inside it, and the FAT keeps the old entry.
TEST_F(cLocalFileTest, WriteFromAnEndlessSourceStaysInsideTheRoom) {
    expectRun({"-d", sImage, "--write", "small", "/dev/zero"}, deviceLine(sImage),
              "Fatal: no space left for file\n", 1);
    const std::vector<uint8_t> lAfter = readBytes(sImage);
    const std::vector<uint8_t>& lBefore = oImage.bytes();
    ASSERT_EQ(lAfter.size(), lBefore.size());
    EXPECT_EQ(lAfter[SMALL_OFFSET], 0) << "the blocks before the failure are not on the flash";
    for (uint32_t i = 0; i < DEVICE_SIZE; ++i) {
        if (lAfter[i] != lBefore[i]) {
            EXPECT_GE(i, SMALL_OFFSET) << "changed before the file";
            EXPECT_LT(i, SMALL_OFFSET + SMALL_ROOM) << "changed past the file's room";
            EXPECT_EQ(lAfter[i], 0);
            if (i < SMALL_OFFSET || i >= SMALL_OFFSET + SMALL_ROOM || lAfter[i] != 0)
                break;
        }
    }
}

} // namespace
