// The progress indicator seen from outside: the real tool on a device slowed down by
// the interposition library, with a pseudo-terminal as its standard error. Every slowed
// run is compared with an unslowed run of the same command without a terminal, from
// the same image at the same paths.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "tests/interpose/cIoLog.h"
#include "tests/progress/cTerminalRun.h"
#include "tests/support/cRunResult.h"
#include "tinyfs/layout.h"

namespace {

// With every page read or written delayed, a command on a file of this many pages
// runs for about 1.5 s: well past the half second after which the indicator shows,
// long enough for several redraws.
constexpr int64_t DELAY_US_PER_PAGE = 5000;
constexpr uint32_t SLOW_FILE_PAGES = 300;
constexpr uint32_t FILE_BYTES = SLOW_FILE_PAGES * PAGE_SIZE - PAGE_SIZE / 2; // ends inside a page
// "--write" reads each page of its range and programs it: half the pages, same time.
constexpr uint32_t WRITE_BYTES = FILE_BYTES / 2;
constexpr uint16_t WRONG_CHECKSUM = 0x1234;
constexpr uint32_t RANDOM_SEED = 0x9a9e;
constexpr int BYTE_VALUES = 256;
constexpr unsigned long PERCENT_ALL = 100;

constexpr char ERASE_LINE[] = "\r\033[K";
constexpr char FILE_NAME[] = "kernel";
constexpr char MAC_TEXT[] = "00:11:22:33:44:55";

enum class eImage { GOOD, WRONG_CHECKSUM };

struct cProgressCase {
    const char* sLabel;
    std::vector<std::string> lArgs; // after "-d IMAGE"; "@LOCAL" and "@OUT" stand for local paths
    eImage eContents;
    uint32_t iTotal; // the byte count the indicator counts up to
};

std::ostream& operator<<(std::ostream& oStream, const cProgressCase& oCase) {
    return oStream << oCase.sLabel;
}

const std::vector<cProgressCase> CASES = {
    {"write", {"--write", FILE_NAME, "@LOCAL"}, eImage::GOOD, WRITE_BYTES},
    {"read", {"--read", FILE_NAME, "@OUT"}, eImage::GOOD, FILE_BYTES},
    {"check", {"--check"}, eImage::GOOD, FILE_BYTES},
    // Lines printed right after the work: the report of a bad checksum, the refusal.
    {"checkForcedBadChecksum", {"--check", "--force"}, eImage::WRONG_CHECKSUM, FILE_BYTES},
    {"readForcedBadChecksum", {"--read", FILE_NAME, "@OUT", "--force"}, eImage::WRONG_CHECKSUM, FILE_BYTES},
    {"readBadChecksum", {"--read", FILE_NAME, "@OUT"}, eImage::WRONG_CHECKSUM, FILE_BYTES},
};

std::vector<unsigned char> randomBytes(uint32_t iLength, uint32_t iSeed) {
    std::mt19937 oRandom(iSeed);
    std::uniform_int_distribution<int> oByte(0, BYTE_VALUES - 1);
    std::vector<unsigned char> lBytes(iLength);
    for (unsigned char& b : lBytes)
        b = (unsigned char)oByte(oRandom);
    return lBytes;
}

// The texts the indicator drew: what stands between two erasures without ending a
// line. Every line the tool prints ends with a line end.
std::vector<std::string> statusTexts(const std::string& sTerminal) {
    std::vector<std::string> lTexts;
    size_t iFrom = sTerminal.find(ERASE_LINE);
    while (iFrom != std::string::npos) {
        iFrom += sizeof ERASE_LINE - 1;
        const size_t iNext = sTerminal.find(ERASE_LINE, iFrom);
        const std::string sPiece =
            sTerminal.substr(iFrom, iNext == std::string::npos ? iNext : iNext - iFrom);
        if (!sPiece.empty() && sPiece.find('\n') == std::string::npos)
            lTexts.push_back(sPiece);
        iFrom = iNext;
    }
    return lTexts;
}

class ProgressTest : public ::testing::TestWithParam<cProgressCase> {
  protected:
    void SetUp() override {
        const cProgressCase& oCase = GetParam();
        cImageBuilder oBuilder;
        cImageFile oFile;
        oFile.sName = FILE_NAME;
        const std::vector<unsigned char> lContents = randomBytes(FILE_BYTES, RANDOM_SEED);
        oFile.lContents.assign(lContents.begin(), lContents.end());
        if (oCase.eContents == eImage::WRONG_CHECKSUM)
            oFile.iChecksum = WRONG_CHECKSUM;
        oBuilder.addFile(oFile);
        oBuilder.setMac(MAC_TEXT);
        const std::vector<uint8_t> lImage = oBuilder.build();
        lOriginal.assign(lImage.begin(), lImage.end());
        writeBytes(oDir.file("local.bin"), randomBytes(WRITE_BYTES, RANDOM_SEED + 1));
    }

    std::string imagePath() const { return oDir.file("image.bin"); }
    std::string outPath() const { return oDir.file("out.bin"); }

    std::vector<std::string> args(bool bQuiet) const {
        std::vector<std::string> lArgs = {"-d", imagePath()};
        for (const std::string& sArg : GetParam().lArgs)
            lArgs.push_back(sArg == "@LOCAL" ? oDir.file("local.bin") : sArg == "@OUT" ? outPath() : sArg);
        if (bQuiet)
            lArgs.push_back("--quiet");
        return lArgs;
    }

    // Puts the image and the local files back as they were before any run.
    void reset() {
        writeBytes(imagePath(), lOriginal);
        if (fileExists(outPath()))
            ::unlink(outPath().c_str());
    }

    std::vector<std::string> slowEnvironment() const {
        cIoSetup oSetup;
        oSetup.sDevice = imagePath();
        oSetup.iDelayUs = DELAY_US_PER_PAGE;
        return interposeEnvironment(interposeLibPath(), oSetup);
    }

    // What a command leaves behind besides its output.
    struct cEffect {
        std::vector<unsigned char> lImage;
        bool bOut = false;
        std::vector<unsigned char> lOut;
        bool operator==(const cEffect& o) const {
            return lImage == o.lImage && bOut == o.bOut && lOut == o.lOut;
        }
    };
    cEffect effect() const {
        cEffect oEffect;
        oEffect.lImage = readBytes(imagePath());
        oEffect.bOut = fileExists(outPath());
        if (oEffect.bOut)
            oEffect.lOut = readBytes(outPath());
        return oEffect;
    }

    // The reference: unslowed, no terminal anywhere.
    cRunResult runPlain(bool bQuiet, cEffect& oEffect) {
        reset();
        const cRunResult oResult = runBrellix(args(bQuiet));
        oEffect = effect();
        return oResult;
    }

    cTerminalRun runSlowOnTerminal(bool bQuiet, bool bStdoutOnTerminal, cEffect& oEffect) {
        reset();
        std::vector<std::string> lArgs = args(bQuiet);
        lArgs.insert(lArgs.begin(), brellixPath());
        const cTerminalRun oRun = runOnTerminal(lArgs, slowEnvironment(), bStdoutOnTerminal);
        oEffect = effect();
        return oRun;
    }

    // Each drawn text names the file, counts up to the total and gives a percentage;
    // the count never goes back.
    void expectStatusTexts(const std::vector<std::string>& lTexts) const {
        ASSERT_FALSE(lTexts.empty()) << "no progress shown";
        const std::regex oCount("([0-9]+) of ([0-9]+)");
        const std::regex oPercent("([0-9]+)%");
        uint64_t iLastDone = 0;
        for (const std::string& sText : lTexts) {
            std::smatch oMatch, oPercentMatch;
            EXPECT_NE(sText.find(FILE_NAME), std::string::npos) << sText;
            ASSERT_TRUE(std::regex_search(sText, oMatch, oCount)) << sText;
            ASSERT_TRUE(std::regex_search(sText, oPercentMatch, oPercent)) << sText;
            const uint64_t iDone = std::stoull(oMatch[1]);
            EXPECT_EQ(std::stoull(oMatch[2]), GetParam().iTotal) << sText;
            EXPECT_LE(iDone, GetParam().iTotal) << sText;
            EXPECT_GE(iDone, iLastDone) << sText;
            EXPECT_LE(std::stoul(oPercentMatch[1]), PERCENT_ALL) << sText;
            iLastDone = iDone;
        }
    }

    cTempDir oDir;
    std::vector<unsigned char> lOriginal;
};

// Standard error on a terminal, standard output in a pipe: the indicator shows, every
// drawing is erased again, and everything else is as without a terminal.
TEST_P(ProgressTest, showsAndErasesProgressOnTerminal) {
    cEffect oPlainEffect, oSlowEffect;
    const cRunResult oPlain = runPlain(false, oPlainEffect);
    const cTerminalRun oSlow = runSlowOnTerminal(false, false, oSlowEffect);

    const std::vector<std::string> lTexts = statusTexts(oSlow.sTerminal);
    expectStatusTexts(lTexts);
    if (lTexts.empty())
        return;
    // The last drawing, like every other, is followed by an erasure.
    const size_t iAfterLast = oSlow.sTerminal.rfind(lTexts.back()) + lTexts.back().size();
    EXPECT_EQ(oSlow.sTerminal.compare(iAfterLast, sizeof ERASE_LINE - 1, ERASE_LINE), 0) << oSlow.sTerminal;
    const cScreen oScreen = renderScreen(oSlow.sTerminal);
    EXPECT_FALSE(oScreen.bUnexpected);
    EXPECT_EQ(oScreen.lLines, renderScreen(oPlain.sErr).lLines);
    EXPECT_EQ(oSlow.sOut, oPlain.sOut);
    EXPECT_EQ(oSlow.iStatus, oPlain.iStatus);
    EXPECT_TRUE(oSlowEffect == oPlainEffect);
}

// Both streams on one terminal: afterwards it shows exactly what it shows for the
// unslowed run, so no drawing survives into a line the tool printed.
TEST_P(ProgressTest, terminalShowsTheSameAfterwards) {
    cEffect oPlainEffect, oSlowEffect;
    const cRunResult oPlain = runPlain(false, oPlainEffect);
    const cTerminalRun oSlow = runSlowOnTerminal(false, true, oSlowEffect);

    expectStatusTexts(statusTexts(oSlow.sTerminal));
    const cScreen oScreen = renderScreen(oSlow.sTerminal);
    EXPECT_FALSE(oScreen.bUnexpected);
    // Every failure comes last, after the lines on standard output.
    EXPECT_EQ(oScreen.lLines, renderScreen(oPlain.sOut + oPlain.sErr).lLines);
    EXPECT_EQ(oSlow.iStatus, oPlain.iStatus);
    EXPECT_TRUE(oSlowEffect == oPlainEffect);
}

// The quiet switch silences the indicator too: the terminal receives only what it
// would receive without one.
TEST_P(ProgressTest, quietShowsNothing) {
    cEffect oPlainEffect, oSlowEffect;
    const cRunResult oPlain = runPlain(true, oPlainEffect);
    const cTerminalRun oSlow = runSlowOnTerminal(true, false, oSlowEffect);

    EXPECT_EQ(oSlow.sTerminal, oPlain.sErr);
    EXPECT_EQ(oSlow.sOut, oPlain.sOut);
    EXPECT_EQ(oSlow.iStatus, oPlain.iStatus);
    EXPECT_TRUE(oSlowEffect == oPlainEffect);
}

// Without a terminal the slowed run writes the same bytes as the unslowed one.
TEST_P(ProgressTest, noTerminalNoProgress) {
    cEffect oPlainEffect, oSlowEffect;
    const cRunResult oPlain = runPlain(false, oPlainEffect);
    reset();
    const cRunResult oSlow = runBrellix(args(false), slowEnvironment());
    oSlowEffect = effect();

    EXPECT_EQ(oSlow.sErr, oPlain.sErr);
    EXPECT_EQ(oSlow.sOut, oPlain.sOut);
    EXPECT_EQ(oSlow.iStatus, oPlain.iStatus);
    EXPECT_TRUE(oSlowEffect == oPlainEffect);
}

INSTANTIATE_TEST_SUITE_P(Commands, ProgressTest, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<cProgressCase>& oInfo) {
                             return oInfo.param.sLabel;
                         });

// "--read-stdout" implies the quiet switch: its contents reach the terminal alone.
TEST(ProgressReadStdout, contentsAloneOnTerminal) {
    cTempDir oDir;
    cImageBuilder oBuilder;
    cImageFile oFile;
    oFile.sName = FILE_NAME;
    // Printable text, so that every byte reaches standard output.
    oFile.lContents.assign(FILE_BYTES, 'x');
    oBuilder.addFile(oFile);
    oBuilder.writeTo(oDir.file("image.bin"));

    cIoSetup oSetup;
    oSetup.sDevice = oDir.file("image.bin");
    oSetup.iDelayUs = DELAY_US_PER_PAGE;
    const cTerminalRun oRun =
        runOnTerminal({brellixPath(), "-d", oDir.file("image.bin"), "--read-stdout", FILE_NAME},
                      interposeEnvironment(interposeLibPath(), oSetup), true);
    EXPECT_EQ(oRun.sTerminal, std::string(FILE_BYTES, 'x'));
    EXPECT_EQ(oRun.iStatus, 0);
}

// The terminal model the checks above rely on.
TEST(ProgressScreen, erasureAndOverwrite) {
    EXPECT_EQ(renderScreen("a: 1 of 2\r\033[K** done\n").lLines, (std::vector<std::string>{"** done", ""}));
    // A drawing overwritten without erasure leaves its tail.
    EXPECT_EQ(renderScreen("kernel: 50%\r** ok\n").lLines, (std::vector<std::string>{"** okl: 50%", ""}));
    EXPECT_EQ(renderScreen("kernel: 50%").lLines, (std::vector<std::string>{"kernel: 50%"}));
    EXPECT_FALSE(renderScreen("x\r\033[K").bUnexpected);
    EXPECT_TRUE(renderScreen("x\033[2J").bUnexpected);
    EXPECT_TRUE(renderScreen("x\b").bUnexpected);
}

TEST(ProgressScreen, statusTextsBetweenErasures) {
    EXPECT_EQ(statusTexts("\r\033[Kk: 1 of 2 (50%)\r\033[Kk: 2 of 2 (100%)\r\033[K"),
              (std::vector<std::string>{"k: 1 of 2 (50%)", "k: 2 of 2 (100%)"}));
    EXPECT_EQ(statusTexts("\r\033[Kk: 1 of 2 (50%)\r\033[KFatal: x\n"),
              (std::vector<std::string>{"k: 1 of 2 (50%)"}));
    EXPECT_TRUE(statusTexts("** line\n").empty());
}

} // namespace
