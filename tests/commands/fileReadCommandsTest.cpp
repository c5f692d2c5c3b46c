// End-to-end tests of the commands that look at files without changing the image:
// "--list" (short and long lines), "--exists", "--read" and "--read-stdout".
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/commands/commandTestSupport.h"

namespace {

constexpr char CHECKSUM_REFUSED[] =
    "Fatal: Checksum error would produce invalid output (use --force to write nevertheless)\n";
constexpr char CHECKSUM_FORCED[] = "** Checksum error (invalid output produced!)\n";

// ---------------------------------------------------------------------------------------
// --list

// kernel: 123 bytes in 200, checksum 0x1d0, flag bits 1 and 2, load address 0x800.
// logo: empty, 512 bytes of room, checksum 0xffff, flag bit 3.
// plain: no checksum, no flags, the last file, so its room reaches the device end.
constexpr uint32_t KERNEL_ROOM = 200;
constexpr uint32_t LOGO_ROOM = 512;
constexpr uint32_t PLAIN_SIZE = 10;

tBytes listingImage() {
    cImageBuilder oBuilder;
    cImageFile oKernel = placedFile("kernel", pattern(123, 1), FIRST_FILE);
    oKernel.iChecksum = 0x1d0;
    oKernel.iFlagBits = FLAG_LOAD_ADDRESS | FLAG_X;
    oKernel.iLoadAddress = 0x800;
    oBuilder.addFile(oKernel);
    cImageFile oLogo = placedFile("logo", {}, FIRST_FILE + KERNEL_ROOM);
    oLogo.iChecksum = 0xffff;
    oLogo.iFlagBits = FLAG_AX;
    oBuilder.addFile(oLogo);
    cImageFile oPlain = placedFile("plain", pattern(PLAIN_SIZE, 2), FIRST_FILE + KERNEL_ROOM + LOGO_ROOM);
    oPlain.bChecksum = false;
    oBuilder.addFile(oPlain);
    return oBuilder.build();
}

class cListTest : public cCommandTest {};

TEST_F(cListTest, BuiltImageHoldsTheEntriesTheListingIsAbout) {
    const tBytes lImage = listingImage();
    const cFatSlot oKernel = slotOf(lImage, 1);
    EXPECT_EQ("kernel", oKernel.sName);
    EXPECT_EQ(0x01d00006u, oKernel.iFlags);
    EXPECT_EQ(123u, oKernel.iSize);
    EXPECT_EQ(0x800u, oKernel.iLoadAddress);
    const cFatSlot oLogo = slotOf(lImage, 2);
    EXPECT_EQ("logo", oLogo.sName);
    EXPECT_EQ(0xffff0008u, oLogo.iFlags);
    EXPECT_EQ(0u, oLogo.iSize);
    EXPECT_EQ("plain", slotOf(lImage, 3).sName);
    EXPECT_EQ(0u, slotOf(lImage, 3).iFlags);
    EXPECT_EQ(0, lImage[slotPosition(4)]);
}

TEST_F(cListTest, ShortLines) {
    useImage(listingImage());
    EXPECT_EQ((cOutcome{deviceLine() +
                            "kernel               | 123 bytes        | 39% growable  (77 bytes left)\n"
                            "logo                 | 0 bytes          | 100% growable (512 bytes left)\n"
                            "plain                | 10 bytes         | 100% growable (8584487 bytes left)\n",
                        "", 0}),
              brellix({"--list"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cListTest, VerboseLinesShowChecksumAndFlags) {
    useImage(listingImage());
    const std::string sExpected = "kernel               | 123 bytes        | Sum: 0x1d0   | L(0x800)X       "
                                  "| 39% growable  (77 bytes left)\n"
                                  "logo                 | 0 bytes          | Sum: 0xffff  | BAx             "
                                  "| 100% growable (512 bytes left)\n"
                                  "plain                | 10 bytes         | Sum: 0x0     |                 "
                                  "| 100% growable (8584487 bytes "
                                  "left)\n";
    EXPECT_EQ((cOutcome{deviceLine() + sExpected, "", 0}), brellix({"--list", "--verbose"}));
    EXPECT_EQ((cOutcome{deviceLine() + sExpected, "", 0}), brellix({"-v", "-l"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cListTest, EmptyImagePrintsNothing) {
    useImage(cImageBuilder());
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--list"}));
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--list", "--verbose"}));
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"--list", "--quiet"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cListTest, QuietListsNothing) {
    useImage(listingImage());
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"--list", "--verbose", "--quiet"}));
}

// first fits its 100 bytes; middle claims 300 bytes of its 200 (the FAT is edited after
// building, which refuses such an image); last would be fine but is never reached.
tBytes oversizedMiddleImage() {
    cImageBuilder oBuilder;
    cImageFile oFirst = placedFile("first", pattern(50, 3), FIRST_FILE);
    oFirst.bChecksum = false;
    oBuilder.addFile(oFirst);
    cImageFile oMiddle = placedFile("middle", pattern(100, 4), FIRST_FILE + 100);
    oMiddle.iChecksum = 0x1234;
    oBuilder.addFile(oMiddle);
    oBuilder.addFile(placedFile("last", pattern(20, 5), FIRST_FILE + 300));
    tBytes lImage = oBuilder.build();
    putLe32(lImage, slotPosition(2) + SLOT_SIZE_POS, 300);
    return lImage;
}

TEST_F(cListTest, OversizedFileIsListedWithWrappedFiguresThenEndsTheRun) {
    useImage(oversizedMiddleImage());
    EXPECT_EQ(
        (cOutcome{deviceLine() + "first                | 50 bytes         | 50% growable  (50 bytes left)\n"
                                 "middle               | 300 bytes        | 4294967246% growable (4294967196 "
                                 "bytes left)\n",
                  "Fatal: File system corrupt! (middle)\n", 1}),
        brellix({"--list"}));
    EXPECT_EQ(
        (cOutcome{deviceLine() + "first                | 50 bytes         | Sum: 0x0     |                 | "
                                 "50% growable  (50 bytes left)\n"
                                 "middle               | 300 bytes        | Sum: 0x1234  |                 | "
                                 "4294967246% growable (4294967196 bytes left)\n",
                  "Fatal: File system corrupt! (middle)\n", 1}),
        brellix({"--list", "--verbose"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cListTest, QuietStillFailsOnAnOversizedFile) {
    useImage(oversizedMiddleImage());
    EXPECT_EQ((cOutcome{"", "Fatal: File system corrupt! (middle)\n", 1}), brellix({"--list", "--quiet"}));
    EXPECT_EQ((cOutcome{"", "Fatal: File system corrupt! (middle)\n", 1}),
              brellix({"--list", "-rs", "last"}));
}

TEST_F(cListTest, RoomIsBoundedByTheNextHigherLoadAddress) {
    // kernel fits before initrd's data but not below initrd's load address.
    cImageBuilder oBuilder;
    cImageFile oKernel = placedFile("kernel", pattern(100, 6), FIRST_FILE);
    oKernel.bChecksum = false;
    oKernel.iLoadAddress = 0x1000;
    oBuilder.addFile(oKernel);
    cImageFile oInitrd = placedFile("initrd", pattern(100, 7), FIRST_FILE + 1000);
    oInitrd.iLoadAddress = 0x1000 + 60;
    oBuilder.addFile(oInitrd);
    // The flag is set afterwards: the builder refuses a file that misses its bound.
    tBytes lImage = oBuilder.build();
    putLe32(lImage, slotPosition(1) + SLOT_FLAGS_POS, FLAG_LOAD_ADDRESS);
    useImage(lImage);
    EXPECT_EQ(
        (cOutcome{deviceLine() + "kernel               | 100 bytes        | Sum: 0x0     | L(0x1000)       | "
                                 "4294967230% growable (4294967256 bytes left)\n",
                  "Fatal: File system corrupt! (kernel)\n", 1}),
        brellix({"--list", "--verbose"}));
}

TEST_F(cListTest, ImageWithoutMagicIsInvalid) {
    useImage(tBytes(DEVICE_SIZE, 0xff));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: invalid image\n", 1}), brellix({"--list"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cListTest, MissingDeviceCannotBeOpened) {
    const cOutcome oRun = outcomeOf(runBrellix({"-d", oDir.file("no-such-device"), "--list"}));
    EXPECT_EQ((cOutcome{"** using device " + oDir.file("no-such-device") + "\n",
                        "Fatal: unable to open device\n", 1}),
              oRun);
    EXPECT_FALSE(fileExists(oDir.file("no-such-device")));
}

// ---------------------------------------------------------------------------------------
// --exists

struct cExistsCase {
    std::vector<std::string> lArgs;
    bool bQuietRun;
    int iStatus;
};

void PrintTo(const cExistsCase& oCase, std::ostream* pOut) {
    *pOut << ::testing::PrintToString(oCase.lArgs);
}

class cExistsTest : public cCommandTest, public ::testing::WithParamInterface<cExistsCase> {};

TEST_P(cExistsTest, AnswersByExitStatus) {
    useImage(listingImage());
    const cExistsCase& oCase = GetParam();
    const std::string sOut = oCase.bQuietRun ? "" : deviceLine();
    const std::string sAnswer = oCase.iStatus == 0 && !oCase.bQuietRun ? "** File exists.\n" : "";
    EXPECT_EQ((cOutcome{sOut + sAnswer, "", oCase.iStatus}), brellix(oCase.lArgs));
    EXPECT_EQ("", unchanged());
}

INSTANTIATE_TEST_SUITE_P(Lookups, cExistsTest,
                         ::testing::Values(cExistsCase{{"--exists", "kernel"}, false, 0},
                                           cExistsCase{{"-e", "plain"}, false, 0},
                                           cExistsCase{{"--exists", "%1"}, false, 0},
                                           cExistsCase{{"--exists", "kernel", "-q"}, true, 0},
                                           cExistsCase{{"--exists", "nope"}, false, 1},
                                           cExistsCase{{"--exists", "nope", "-q"}, true, 1},
                                           cExistsCase{{"--exists", "%3"}, false, 1},
                                           cExistsCase{{"--exists", "Kernel"}, false, 1}));

class cExistsRunTest : public cCommandTest {};

TEST_F(cExistsRunTest, MissingFileStopsLaterCommands) {
    useImage(listingImage());
    EXPECT_EQ((cOutcome{deviceLine(), "", 1}),
              brellix({"--rename", "kernel", "vmlinuz", "--exists", "nope"}));
    EXPECT_EQ((cOutcome{deviceLine(), "", 1}), brellix({"--check", "--exists", "nope"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cExistsRunTest, InvalidImageIsStillReported) {
    useImage(tBytes(DEVICE_SIZE, 0xff));
    EXPECT_EQ((cOutcome{"", "Fatal: invalid image\n", 1}), brellix({"--exists", "kernel", "-q"}));
}

// ---------------------------------------------------------------------------------------
// --read and --read-stdout

// blob spans several pages from an unaligned offset; text holds a zero byte; the
// others are small special cases.
constexpr uint32_t BLOB_SIZE = 3 * PAGE_SIZE + 13;
constexpr uint32_t BLOB_ROOM = 4 * PAGE_SIZE;

struct cReadFile {
    std::string sName;
    tBytes lContents;
    bool bChecksum = true;
    std::optional<uint16_t> iChecksum;
};

const std::vector<cReadFile>& readFiles() {
    static const std::vector<cReadFile> lFiles = {
        {"blob", pattern(BLOB_SIZE, 8), true, std::nullopt},
        {"text", textBytes(std::string("hello\0world", 11)), true, std::nullopt},
        {"phrase", textBytes("no line end"), true, std::nullopt},
        {"bad", textBytes("contents that do not match"), true, uint16_t(0xbeef)},
        {"unsummed", textBytes("never checksummed"), false, std::nullopt},
        {"empty", {}, true, std::nullopt},
        {"empty-bad", {}, true, uint16_t(0xffff)},
        {"leading-zero", textBytes(std::string("\0after", 6)), true, std::nullopt},
    };
    return lFiles;
}

tBytes readImage() {
    cImageBuilder oBuilder;
    uint32_t iOffset = FIRST_FILE;
    for (const cReadFile& oFile : readFiles()) {
        cImageFile oPlaced = placedFile(oFile.sName, oFile.lContents, iOffset);
        oPlaced.bChecksum = oFile.bChecksum;
        oPlaced.iChecksum = oFile.iChecksum;
        oBuilder.addFile(oPlaced);
        iOffset += BLOB_ROOM;
    }
    return oBuilder.build();
}

const tBytes& contentsOf(const std::string& sName) {
    for (const cReadFile& oFile : readFiles())
        if (oFile.sName == sName)
            return oFile.lContents;
    throw std::logic_error("no test file " + sName);
}

class cReadTest : public cCommandTest {
  protected:
    void SetUp() override { useImage(readImage()); }
    const std::string sLocal = oDir.file("local.bin");
};

TEST_F(cReadTest, MatchingChecksumsGiveAnExactCopyAndNoOutput) {
    for (const char* sName : {"blob", "text", "phrase", "leading-zero"}) {
        SCOPED_TRACE(sName);
        EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", sName, sLocal}));
        EXPECT_EQ(contentsOf(sName), readBytes(sLocal));
    }
    EXPECT_EQ("", unchanged());
}

TEST_F(cReadTest, ByPositionInTheTable) {
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"-r", "%1", sLocal}));
    EXPECT_EQ(contentsOf("text"), readBytes(sLocal));
}

TEST_F(cReadTest, ReplacesALongerLocalFileCompletely) {
    writeBytes(sLocal, pattern(2 * BLOB_SIZE, 9));
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "blob", sLocal}));
    EXPECT_EQ(contentsOf("blob"), readBytes(sLocal));
}

TEST_F(cReadTest, EmptyFileWithoutChecksumGivesAnEmptyLocalFile) {
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "empty", sLocal}));
    ASSERT_TRUE(fileExists(sLocal));
    EXPECT_EQ(tBytes(), readBytes(sLocal));
}

// Zero bytes checksum to 0, so an empty file with any other stored sum mismatches, and
// so does a non-empty file that carries no checksum.
class cReadMismatchTest : public cReadTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(cReadMismatchTest, RefusedWithoutForceAndNoLocalFileIsCreated) {
    EXPECT_EQ((cOutcome{deviceLine(), CHECKSUM_REFUSED, 1}), brellix({"--read", GetParam(), sLocal}));
    EXPECT_FALSE(fileExists(sLocal));
    EXPECT_EQ("", unchanged());
}

TEST_P(cReadMismatchTest, RefusedWithoutForceLeavesAnExistingLocalFileAlone) {
    const tBytes lOld = textBytes("what was here before");
    writeBytes(sLocal, lOld);
    EXPECT_EQ((cOutcome{"", CHECKSUM_REFUSED, 1}), brellix({"--read", GetParam(), sLocal, "-q"}));
    EXPECT_EQ(lOld, readBytes(sLocal));
}

TEST_P(cReadMismatchTest, ForcedCopyIsWrittenWithAWarning) {
    writeBytes(sLocal, textBytes("what was here before"));
    EXPECT_EQ((cOutcome{deviceLine() + CHECKSUM_FORCED, "", 0}),
              brellix({"--force", "--read", GetParam(), sLocal}));
    EXPECT_EQ(contentsOf(GetParam()), readBytes(sLocal));
    EXPECT_EQ("", unchanged());
}

TEST_P(cReadMismatchTest, ReadStdoutRefusesWithoutForceAndPrintsWithIt) {
    EXPECT_EQ((cOutcome{"", CHECKSUM_REFUSED, 1}), brellix({"--read-stdout", GetParam()}));
    const tBytes& lContents = contentsOf(GetParam());
    EXPECT_EQ((cOutcome{std::string(lContents.begin(), lContents.end()), "", 0}),
              brellix({"--read-stdout", GetParam(), "--force"}));
}

INSTANTIATE_TEST_SUITE_P(Files, cReadMismatchTest, ::testing::Values("bad", "unsummed", "empty-bad"));

TEST_F(cReadTest, UnopenableLocalPathIsReported) {
    const std::string sPath = oDir.file("missing-dir/local.bin");
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: unable to open file (" + sPath + ")\n", 1}),
              brellix({"--read", "blob", sPath}));
    EXPECT_FALSE(fileExists(oDir.file("missing-dir")));
}

TEST_F(cReadTest, MissingNameIsReportedBeforeAnyLocalFile) {
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file entry not found (\"nope\")\n", 1}),
              brellix({"--read", "nope", sLocal}));
    EXPECT_FALSE(fileExists(sLocal));
    EXPECT_EQ((cOutcome{"", "Fatal: file entry not found (\"%8\")\n", 1}), brellix({"--read-stdout", "%8"}));
}

struct cStdoutCase {
    std::string sName;
    std::string sOut;
};

void PrintTo(const cStdoutCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sName;
}

class cReadStdoutTest : public cReadTest, public ::testing::WithParamInterface<cStdoutCase> {};

TEST_P(cReadStdoutTest, PrintsUpToTheFirstZeroByteAndNothingElse) {
    EXPECT_EQ((cOutcome{GetParam().sOut, "", 0}), brellix({"--read-stdout", GetParam().sName}));
    EXPECT_EQ("", unchanged());
}

INSTANTIATE_TEST_SUITE_P(Contents, cReadStdoutTest,
                         ::testing::Values(cStdoutCase{"text", "hello"}, cStdoutCase{"phrase", "no line end"},
                                           cStdoutCase{"leading-zero", ""}, cStdoutCase{"empty", ""}));

TEST_F(cReadTest, ReadStdoutOfBinaryContentsStopsAtItsFirstZero) {
    const tBytes& lBlob = contentsOf("blob");
    const auto itZero = std::find(lBlob.begin(), lBlob.end(), uint8_t(0));
    ASSERT_NE(lBlob.end(), itZero);
    EXPECT_EQ((cOutcome{std::string(lBlob.begin(), itZero), "", 0}), brellix({"-rs", "blob"}));
}

TEST_F(cReadTest, ReadStdoutSilencesEveryOtherLineOfTheRun) {
    EXPECT_EQ((cOutcome{"hello", "", 0}), brellix({"--list", "--verbose", "--read-stdout", "text", "--exists",
                                                   "blob", "--check", "--force"}));
}

// ---------------------------------------------------------------------------------------
// Files whose recorded contents pass the device end

struct cBeyondCase {
    std::string sLabel;
    uint32_t iOffset;
    uint32_t iSize;
};

void PrintTo(const cBeyondCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class cBeyondDeviceTest : public cCommandTest, public ::testing::WithParamInterface<cBeyondCase> {
  protected:
    void SetUp() override {
        cImageBuilder oBuilder;
        oBuilder.addFile(placedFile("before", textBytes("ahead of it"), FIRST_FILE));
        oBuilder.addFile(placedFile("huge", pattern(16, 10), FIRST_FILE + PAGE_SIZE));
        tBytes lImage = oBuilder.build();
        const uint32_t iSlot = slotNamed(lImage, "huge");
        putLe32(lImage, slotPosition(iSlot) + SLOT_OFFSET_POS, GetParam().iOffset);
        putLe32(lImage, slotPosition(iSlot) + SLOT_SIZE_POS, GetParam().iSize);
        useImage(lImage);
    }
    const std::string sLocal = oDir.file("local.bin");
};

TEST_P(cBeyondDeviceTest, ReadRefusesWithAndWithoutForce) {
    const std::string sError = "Fatal: file exceeds device (\"huge\")\n";
    EXPECT_EQ((cOutcome{deviceLine(), sError, 1}), brellix({"--read", "huge", sLocal}));
    EXPECT_EQ((cOutcome{deviceLine(), sError, 1}), brellix({"--read", "huge", sLocal, "--force"}));
    EXPECT_FALSE(fileExists(sLocal));
    EXPECT_EQ((cOutcome{"", sError, 1}), brellix({"--read-stdout", "huge"}));
    EXPECT_EQ((cOutcome{"", sError, 1}), brellix({"--read-stdout", "huge", "--force"}));
    EXPECT_EQ("", unchanged());
}

INSTANTIATE_TEST_SUITE_P(Layouts, cBeyondDeviceTest,
                         ::testing::Values(cBeyondCase{"OneBytePastTheEnd", DEVICE_SIZE - 15, 16},
                                           cBeyondCase{"StartsPastTheEnd", DEVICE_SIZE + PAGE_SIZE, 16},
                                           cBeyondCase{"SumWrapsIn32Bits", 0xfffffff0u, 0x20},
                                           cBeyondCase{"SizeLargerThanTheDevice", FIRST_FILE, DEVICE_SIZE},
                                           // Refused before a buffer of that size is asked for.
                                           cBeyondCase{"LargestSize", FIRST_FILE, 0xffffffffu}),
                         [](const ::testing::TestParamInfo<cBeyondCase>& oInfo) {
                             return oInfo.param.sLabel;
                         });

class cDeviceEndTest : public cCommandTest {};

TEST_F(cDeviceEndTest, FileEndingExactlyAtTheDeviceEndIsRead) {
    cImageBuilder oBuilder;
    oBuilder.addFile(placedFile("tail", textBytes("placeholder"), FIRST_FILE));
    tBytes lImage = oBuilder.build();
    const tBytes lContents = textBytes("last sixteen b.!");
    putBytes(lImage, DEVICE_SIZE - lContents.size(), lContents);
    putSlot(lImage, 1,
            {"tail", uint32_t(referenceCrc(lContents)) << CHECKSUM_SHIFT,
             uint32_t(DEVICE_SIZE - lContents.size()), uint32_t(lContents.size()), 0});
    useImage(lImage);
    const std::string sLocal = oDir.file("local.bin");
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--read", "tail", sLocal}));
    EXPECT_EQ(lContents, readBytes(sLocal));
    EXPECT_EQ((cOutcome{"last sixteen b.!", "", 0}), brellix({"--read-stdout", "tail"}));
}

} // namespace
