// The mktinyfs command run as a process: its images against the builder's, the tool's
// integrity check on each, every refusal with its one stderr line and no file left
// behind, and the help text.
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

#include "tests/builder/builderTestSupport.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/layout.h"

namespace {

constexpr uint32_t KERNEL_BYTES = 5000;
const std::string CONFIG_TEXT = "baud=115200\nconsole=ttyS0\n";

// A scratch directory with the inputs the cases refer to. In arguments and messages
// "@" stands for the directory and "@OUT" for the image path.
class cWorkspace {
  public:
    cWorkspace() {
        writeBytes(oDir.file("kernel.bin"), kernel());
        writeBytes(oDir.file("config.txt"),
                   std::vector<unsigned char>(CONFIG_TEXT.begin(), CONFIG_TEXT.end()));
        writeBytes(oDir.file("a=b.txt"), {'x'});
        ::mkdir(oDir.file("sub").c_str(), 0755);
    }

    static std::vector<unsigned char> kernel() {
        const std::vector<uint8_t> lBytes = patternBytes(KERNEL_BYTES, 7);
        return std::vector<unsigned char>(lBytes.begin(), lBytes.end());
    }

    std::string expand(const std::string& sText) const {
        std::string sOut;
        for (size_t i = 0; i < sText.size(); ++i) {
            if (sText.compare(i, 4, "@OUT") == 0) {
                sOut += output();
                i += 3;
            } else if (sText[i] == '@') {
                sOut += oDir.path() + "/";
            } else {
                sOut += sText[i];
            }
        }
        return sOut;
    }

    cRunResult run(const std::vector<std::string>& lArgs) const {
        std::vector<std::string> lAll = {mktinyfsPath()};
        for (const std::string& sArg : lArgs)
            lAll.push_back(expand(sArg));
        return runProcess(lAll);
    }

    // One byte more than the device holds; made only for the cases that read it.
    void addHugeInput() const {
        writeBytes(oDir.file("huge.bin"), std::vector<unsigned char>(DEVICE_SIZE + 1, 'h'));
    }

    std::string output() const { return oDir.file("out.img"); }
    std::string listing() const { return runProcess({"/bin/ls", "-A", oDir.path()}).sOut; }

  private:
    cTempDir oDir;
};

cImageFile contentsOf(const std::string& sName, const std::vector<unsigned char>& lBytes) {
    cImageFile oFile;
    oFile.sName = sName;
    oFile.lContents.assign(lBytes.begin(), lBytes.end());
    return oFile;
}

cImageFile kernelFile(const std::string& sName = "kernel") {
    return contentsOf(sName, cWorkspace::kernel());
}

cImageFile configFile(const std::string& sName = "config") {
    return contentsOf(sName, std::vector<unsigned char>(CONFIG_TEXT.begin(), CONFIG_TEXT.end()));
}

// ---- images it makes -------------------------------------------------------------

struct cSuccessCase {
    const char* sLabel;
    std::vector<std::string> lArgs;
    std::function<void(cImageBuilder&)> fExpected; // the same image through the library
};

void PrintTo(const cSuccessCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class MktinyfsImage : public ::testing::TestWithParam<cSuccessCase> {};

TEST_P(MktinyfsImage, MatchesTheBuilderAndPassesTheCheck) {
    const cSuccessCase& oCase = GetParam();
    cWorkspace oSpace;
    const cRunResult oRun = oSpace.run(oCase.lArgs);
    EXPECT_EQ(oRun.sErr, "");
    EXPECT_EQ(oRun.sOut, "");
    ASSERT_EQ(oRun.iStatus, 0);

    cImageBuilder oBuilder;
    oCase.fExpected(oBuilder);
    const std::vector<uint8_t> lExpected = oBuilder.build();
    const std::vector<unsigned char> lWritten = readBytes(oSpace.output());
    ASSERT_EQ(lWritten.size(), DEVICE_SIZE);
    EXPECT_TRUE(lWritten == std::vector<unsigned char>(lExpected.begin(), lExpected.end()));

    const cRunResult oCheck = runBrellix({"-d", oSpace.output(), "--check"});
    EXPECT_EQ(oCheck.sErr, "");
    EXPECT_EQ(oCheck.iStatus, 0);
    EXPECT_NE(oCheck.sOut.find("Filesystem is ready and clean.\n"), std::string::npos) << oCheck.sOut;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MktinyfsImage,
    ::testing::Values(
        cSuccessCase{"noFiles", {"@OUT"}, [](cImageBuilder&) {}},
        cSuccessCase{
            "oneFile", {"@OUT", "kernel=@kernel.bin"}, [](cImageBuilder& o) { o.addFile(kernelFile()); }},
        cSuccessCase{"everyOption",
                     {"--device-id", "BX-0042", "--mac", "00:11:22:33:44:55", "@OUT", "kernel=@kernel.bin",
                      "--load", "0x20008000", "--x", "--room", "0x10000", "config=@config.txt",
                      "--no-checksum", "--ax", "log=", "--flags", "0x8001", "--flags", "0x10"},
                     [](cImageBuilder& o) {
                         cImageFile oKernel = kernelFile();
                         oKernel.iLoadAddress = 0x20008000;
                         oKernel.iFlagBits = FLAG_LOAD_ADDRESS | FLAG_X;
                         oKernel.iExtraRoom = 0x10000;
                         o.addFile(oKernel);
                         cImageFile oConfig = configFile();
                         oConfig.bChecksum = false;
                         oConfig.iFlagBits = FLAG_AX;
                         o.addFile(oConfig);
                         cImageFile oLog;
                         oLog.sName = "log";
                         oLog.iFlagBits = 0x8011;
                         o.addFile(oLog);
                         o.setMac("00:11:22:33:44:55");
                         o.setDeviceId("BX-0042");
                     }},
        cSuccessCase{"imageOptionsAfterFiles",
                     {"@OUT", "config=@config.txt", "--mac", "02-00-00-00-00-01", "--device-id", ""},
                     [](cImageBuilder& o) {
                         o.addFile(configFile());
                         o.setMac("02-00-00-00-00-01");
                         o.setDeviceId("");
                     }},
        cSuccessCase{"explicitOffsetsAndNumberForms",
                     {"@OUT", "low=@config.txt", "--offset", "256", "high=@kernel.bin", "--offset", "0X10000",
                      "--room", "1000", "next=@config.txt", "--load", "4096", "--flags", "0x0",
                      "top=", "--offset", "0x83ffc0"},
                     [](cImageBuilder& o) {
                         cImageFile oLow = configFile("low");
                         oLow.iOffset = 256;
                         o.addFile(oLow);
                         cImageFile oHigh = kernelFile("high");
                         oHigh.iOffset = 0x10000;
                         oHigh.iExtraRoom = 1000;
                         o.addFile(oHigh);
                         cImageFile oNext = configFile("next");
                         oNext.iLoadAddress = 4096;
                         oNext.iFlagBits = FLAG_LOAD_ADDRESS;
                         o.addFile(oNext);
                         cImageFile oTop;
                         oTop.sName = "top";
                         oTop.iOffset = DEVICE_ID_AREA;
                         o.addFile(oTop);
                     }},
        cSuccessCase{"pathWithEqualsAndLongestName",
                     {"@OUT", "0123456789abcde=@a=b.txt"},
                     [](cImageBuilder& o) { o.addFile(contentsOf("0123456789abcde", {'x'})); }}));

TEST(Mktinyfs, ReplacesAnExistingImage) {
    cWorkspace oSpace;
    writeBytes(oSpace.output(), {1, 2, 3});
    const cRunResult oRun = oSpace.run({"@OUT", "log="});
    ASSERT_EQ(oRun.iStatus, 0) << oRun.sErr;
    const std::vector<unsigned char> lWritten = readBytes(oSpace.output());
    cMountedImage oMounted(std::vector<uint8_t>(lWritten.begin(), lWritten.end()));
    ASSERT_EQ(oMounted.files().size(), 1u);
    EXPECT_EQ(oMounted.files()[0].getName(), "log");
    EXPECT_EQ(oSpace.listing(), "a=b.txt\nconfig.txt\nkernel.bin\nout.img\nsub\n");
}

// ---- refusals --------------------------------------------------------------------

struct cRefusalCase {
    const char* sLabel;
    std::vector<std::string> lArgs;
    std::string sError; // the whole stderr, "@" expanded
};

void PrintTo(const cRefusalCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class MktinyfsRefusal : public ::testing::TestWithParam<cRefusalCase> {};

// Without an image and over an existing one: one line, status 1, nothing written.
TEST_P(MktinyfsRefusal, OneLineAndNoImage) {
    const cRefusalCase& oCase = GetParam();
    cWorkspace oSpace;
    for (const std::string& sArg : oCase.lArgs)
        if (sArg.find("huge.bin") != std::string::npos)
            oSpace.addHugeInput();
    const std::string sBefore = oSpace.listing();
    const std::string sExpected = oSpace.expand(oCase.sError);
    for (const bool bExisting : {false, true}) {
        const std::vector<unsigned char> lOld = {'o', 'l', 'd'};
        if (bExisting)
            writeBytes(oSpace.output(), lOld);
        const cRunResult oRun = oSpace.run(oCase.lArgs);
        EXPECT_EQ(oRun.iStatus, 1) << bExisting;
        EXPECT_EQ(oRun.sOut, "") << bExisting;
        EXPECT_EQ(oRun.sErr, sExpected) << bExisting;
        if (bExisting) {
            EXPECT_EQ(readBytes(oSpace.output()), lOld);
        } else {
            EXPECT_EQ(oSpace.listing(), sBefore);
        }
    }
}

std::vector<std::string> manyEmptyFiles(uint32_t iCount) {
    std::vector<std::string> lArgs = {"@OUT"};
    for (uint32_t i = 0; i < iCount; ++i)
        lArgs.push_back("f" + std::to_string(i) + "=");
    return lArgs;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MktinyfsRefusal,
    ::testing::Values(
        cRefusalCase{"nothing", {}, "mktinyfs: missing OUTPUT (try --help)\n"},
        cRefusalCase{
            "onlyImageOptions", {"--mac", "00:11:22:33:44:55"}, "mktinyfs: missing OUTPUT (try --help)\n"},
        cRefusalCase{
            "fileBeforeOutput",
            {"kernel=@kernel.bin", "@OUT"},
            "mktinyfs: missing OUTPUT: \"kernel=@kernel.bin\" is a file, the image path comes first\n"},
        cRefusalCase{"emptyOutput", {""}, "mktinyfs: empty OUTPUT path\n"},
        cRefusalCase{
            "unknownOption", {"@OUT", "--bogus"}, "mktinyfs: unknown option \"--bogus\" (try --help)\n"},
        cRefusalCase{"optionWithValueGlued",
                     {"@OUT", "a=", "--offset=5"},
                     "mktinyfs: unknown option \"--offset=5\" (try --help)\n"},
        cRefusalCase{
            "strayWord", {"@OUT", "a=", "stray"}, "mktinyfs: \"stray\" is not a file (NAME=PATH or NAME=)\n"},
        cRefusalCase{
            "fileOptionFirst", {"@OUT", "--x"}, "mktinyfs: --x must follow a file (NAME=PATH or NAME=)\n"},
        cRefusalCase{"offsetFirst",
                     {"@OUT", "--offset", "1"},
                     "mktinyfs: --offset must follow a file (NAME=PATH or NAME=)\n"},
        cRefusalCase{"missingValue", {"@OUT", "a=", "--offset"}, "mktinyfs: --offset needs a value\n"},
        cRefusalCase{"missingMac", {"--mac"}, "mktinyfs: --mac needs a value\n"},
        cRefusalCase{"missingDeviceId", {"@OUT", "--device-id"}, "mktinyfs: --device-id needs a value\n"},
        cRefusalCase{"offsetTwice",
                     {"@OUT", "a=", "--offset", "0xc000", "--offset", "0xd000"},
                     "mktinyfs: --offset given twice for \"a\"\n"},
        cRefusalCase{"roomTwice",
                     {"@OUT", "a=", "--room", "1", "--room", "1"},
                     "mktinyfs: --room given twice for \"a\"\n"},
        cRefusalCase{"loadTwice",
                     {"@OUT", "a=", "--load", "1", "--load", "2"},
                     "mktinyfs: --load given twice for \"a\"\n"},
        cRefusalCase{"macTwice",
                     {"--mac", "00:11:22:33:44:55", "@OUT", "--mac", "00:11:22:33:44:55"},
                     "mktinyfs: --mac given twice\n"},
        cRefusalCase{"deviceIdTwice",
                     {"--device-id", "a", "@OUT", "--device-id", "a"},
                     "mktinyfs: --device-id given twice\n"},
        cRefusalCase{
            "macShort",
            {"--mac", "00:11:22:33:44:5", "@OUT"},
            "mktinyfs: --mac needs 17 characters such as 00:11:22:33:44:55, not \"00:11:22:33:44:5\"\n"},
        cRefusalCase{"macLong",
                     {"--mac", "00:11:22:33:44:55\n", "@OUT"},
                     "mktinyfs: --mac needs 17 characters such as 00:11:22:33:44:55, not "
                     "\"00:11:22:33:44:55\\x0a\"\n"},
        cRefusalCase{"flagsWide",
                     {"@OUT", "a=", "--flags", "0x10000"},
                     "mktinyfs: --flags \"0x10000\" does not fit the 16 flag bits (at most 0xffff)\n"}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, MktinyfsRefusal,
    ::testing::Values(
        cRefusalCase{"empty", {"@OUT", "a=", "--offset", ""}, "mktinyfs: invalid number \"\" for --offset\n"},
        cRefusalCase{
            "suffix", {"@OUT", "a=", "--offset", "12k"}, "mktinyfs: invalid number \"12k\" for --offset\n"},
        cRefusalCase{
            "negative", {"@OUT", "a=", "--room", "-1"}, "mktinyfs: invalid number \"-1\" for --room\n"},
        cRefusalCase{"plus", {"@OUT", "a=", "--room", "+1"}, "mktinyfs: invalid number \"+1\" for --room\n"},
        cRefusalCase{"blank", {"@OUT", "a=", "--load", " 1"}, "mktinyfs: invalid number \" 1\" for --load\n"},
        cRefusalCase{
            "trailingBlank", {"@OUT", "a=", "--load", "1 "}, "mktinyfs: invalid number \"1 \" for --load\n"},
        cRefusalCase{"bareHexPrefix",
                     {"@OUT", "a=", "--flags", "0x"},
                     "mktinyfs: invalid number \"0x\" for --flags\n"},
        cRefusalCase{"badHexDigit",
                     {"@OUT", "a=", "--offset", "0xc00g"},
                     "mktinyfs: invalid number \"0xc00g\" for --offset\n"},
        cRefusalCase{"hexDigitInDecimal",
                     {"@OUT", "a=", "--offset", "12ab"},
                     "mktinyfs: invalid number \"12ab\" for --offset\n"},
        cRefusalCase{
            "fraction", {"@OUT", "a=", "--offset", "1.5"}, "mktinyfs: invalid number \"1.5\" for --offset\n"},
        cRefusalCase{"hexOverflow",
                     {"@OUT", "a=", "--load", "0x100000000"},
                     "mktinyfs: number \"0x100000000\" for --load is out of range (at most 0xffffffff)\n"},
        cRefusalCase{"decimalOverflow",
                     {"@OUT", "a=", "--room", "4294967296"},
                     "mktinyfs: number \"4294967296\" for --room is out of range (at most 0xffffffff)\n"}));

INSTANTIATE_TEST_SUITE_P(
    Inputs, MktinyfsRefusal,
    ::testing::Values(
        cRefusalCase{"missingFile",
                     {"@OUT", "a=@missing.bin"},
                     "mktinyfs: cannot read \"@missing.bin\": No such file or directory\n"},
        cRefusalCase{"directory", {"@OUT", "a=@sub"}, "mktinyfs: cannot read \"@sub\": Is a directory\n"},
        cRefusalCase{"largerThanDevice",
                     {"@OUT", "a=@huge.bin"},
                     "mktinyfs: \"@huge.bin\" is larger than the device (0x840000 bytes)\n"},
        cRefusalCase{"outputDirectoryMissing",
                     {"@missing/out.img", "a="},
                     "mktinyfs: cannot create a temporary file beside \"@missing/out.img\": No such file or "
                     "directory\n"},
        cRefusalCase{
            "outputIsDirectory", {"@sub", "a="}, "mktinyfs: cannot replace \"@sub\": Is a directory\n"}));

INSTANTIATE_TEST_SUITE_P(
    Images, MktinyfsRefusal,
    ::testing::Values(
        cRefusalCase{"emptyName", {"@OUT", "=@config.txt"}, "mktinyfs: file 1 has an empty name\n"},
        cRefusalCase{"longName",
                     {"@OUT", "0123456789abcdef="},
                     "mktinyfs: file name \"0123456789abcdef\" is too long (16 bytes, at most 15)\n"},
        cRefusalCase{"duplicate", {"@OUT", "a=", "b=", "a="}, "mktinyfs: duplicate file name \"a\"\n"},
        cRefusalCase{"macFileTwice",
                     {"--mac", "00:11:22:33:44:55", "@OUT", "mac-address=@config.txt"},
                     "mktinyfs: duplicate file name \"mac-address\"\n"},
        cRefusalCase{"newlineInNameStaysOneLine",
                     {"@OUT", "a\nb=", "a\nb="},
                     "mktinyfs: duplicate file name \"a\\x0ab\"\n"},
        cRefusalCase{"insideFat",
                     {"@OUT", "a=@config.txt", "--offset", "0x4000"},
                     "mktinyfs: file \"a\" (0x4000 + 0x1a) starts inside the FAT (0x4000..0xbfff)\n"},
        cRefusalCase{"intoFat",
                     {"@OUT", "a=@config.txt", "--offset", "0x3ff0"},
                     "mktinyfs: file \"a\" (0x3ff0 + 0x1a) runs into the FAT at 0x4000\n"},
        cRefusalCase{"pastDeviceEnd",
                     {"@OUT", "a=@kernel.bin", "--offset", "0x83ffff"},
                     "mktinyfs: file \"a\" (0x83ffff + 0x1388) passes the device end at 0x840000\n"},
        cRefusalCase{"roomPastDeviceEnd",
                     {"@OUT", "a=", "--offset", "0x800000", "--room", "0x40001"},
                     "mktinyfs: file \"a\" (0x800000 + 0x40001) passes the device end at 0x840000\n"},
        cRefusalCase{
            "intoDeviceRecord",
            {"--device-id", "x", "@OUT", "a=", "--offset", "0x83ffc0"},
            "mktinyfs: file \"a\" (0x83ffc0 + 0x0) runs into the device-identifier record at 0x83ffc0\n"},
        cRefusalCase{"overlap",
                     {"@OUT", "a=@config.txt", "--offset", "0x10000", "b=@config.txt", "--offset", "0x10019"},
                     "mktinyfs: files \"a\" (0x10000 + 0x1a) and \"b\" (0x10019 + 0x1a) overlap\n"},
        cRefusalCase{"overlapRoom",
                     {"@OUT", "a=", "--room", "0x1000", "b=", "--offset", "0xcfff"},
                     "mktinyfs: files \"a\" (0xc000 + 0x1000) and \"b\" (0xcfff + 0x0) overlap\n"},
        cRefusalCase{
            "loadAddressTooClose",
            {"@OUT", "a=@kernel.bin", "--load", "0x1000", "b=", "--load", "0x1100"},
            "mktinyfs: file \"a\" (0x1388 bytes) does not fit below the next higher load address: room for "
            "0x100 bytes from load address 0x1000\n"},
        cRefusalCase{"deviceIdTooLong",
                     {"--device-id", std::string(33, 'z'), "@OUT"},
                     "mktinyfs: device identifier \"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz\" is too long (33 "
                     "bytes, at most "
                     "32)\n"},
        cRefusalCase{"tooManyFiles", manyEmptyFiles(FAT_MAX_ENTRIES + 1),
                     "mktinyfs: too many files (1024, at most 1023)\n"}));

TEST(Mktinyfs, FullTableIsAccepted) {
    cWorkspace oSpace;
    const cRunResult oRun = oSpace.run(manyEmptyFiles(FAT_MAX_ENTRIES));
    ASSERT_EQ(oRun.iStatus, 0) << oRun.sErr;
    const cRunResult oCheck = runBrellix({"-d", oSpace.output(), "--check", "--quiet"});
    EXPECT_EQ(oCheck.iStatus, 0) << oCheck.sErr;
}

// ---- help ------------------------------------------------------------------------

TEST(Mktinyfs, HelpNamesEveryOptionAndWritesNothing) {
    for (const std::vector<std::string>& lArgs :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"@OUT", "a=", "--x", "--help"}}) {
        cWorkspace oSpace;
        const std::string sBefore = oSpace.listing();
        const cRunResult oRun = oSpace.run(lArgs);
        EXPECT_EQ(oRun.iStatus, 0);
        EXPECT_EQ(oRun.sErr, "");
        EXPECT_EQ(oRun.sOut.rfind(
                      "Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...\n", 0),
                  0u);
        for (const char* sOption :
             {"--device-id ID", "--mac TEXT", "--help", "--offset N", "--room N", "--load ADDR", "--x",
              "--ax", "--flags BITS", "--no-checksum", "NAME=PATH", "NAME="})
            EXPECT_NE(oRun.sOut.find(sOption), std::string::npos) << sOption;
        EXPECT_EQ(oSpace.listing(), sBefore);
    }
}

} // namespace
