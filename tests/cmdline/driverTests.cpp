// The built tool as a process: the help screen, the version banner, the device notice
// and the quiet switch, and the two error lines of a bad command line. Stdout, stderr
// and the exit status are compared whole.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/cRunResult.h"

namespace {

const std::string HELP_SCREEN =
    "Help Screen\n"
    "\n"
    "\n"
    "-- basic options --                     \n"
    "\n"
    "-h                    --help            show help screen\n"
    "                      --version         show version information\n"
    "-v                    --verbose         force maximum output\n"
    "-q                    --quiet           no info messages\n"
    "                      --force           force operation\n"
    "\n"
    "-- tinyfs options --                    \n"
    "\n"
    "-d                    --device          specify the mtd device (default is /dev/mtd0)\n"
    "-c                    --check           check filesystem\n"
    "\n"
    "-- file options --                      \n"
    "\n"
    "-sm                   --set-mac         specify a new mac-address\n"
    "-gm                   --get-mac         read out the current mac-address\n"
    "-l                    --list            list all files\n"
    "-e                    --exists          check for existence of file\n"
    "-r                    --read            copy a file to local filesystem\n"
    "-rs                   --read-stdout     print the contents of given file to stdout\n"
    "                                        (implies --quiet)\n"
    "-w                    --write           copy a file from local fs to device (program "
    "flash)\n"
    "-mv                   --rename          rename a file\n"
    "\n"
    "-- device options --                    \n"
    "\n"
    "-sdid                 --set-device-id   set the device identifier (take care!)\n"
    "-gdid                 --get-device-id   get the device identifier\n"
    "\n";

// The version comes from project(VERSION) in CMakeLists.txt; the rest of the line is
// fixed text that operators and scripts see.
const std::string BANNER_START = "Brellix v" PROJECT_VERSION_TEXT;
const std::string BANNER = BANNER_START + " - tinyfs maintenance tool, by the Brellix developers";
const std::string PARSE_FAILURE = "Fatal: error parsing cmd.-line\n";
const std::string OPEN_FAILURE = "Fatal: unable to open device\n";

// Stands for a device path that does not exist; replaced in arguments and expectations.
const std::string MISSING = "{missing}";

std::string replaceAll(std::string sText, const std::string& sFrom, const std::string& sTo) {
    for (size_t iPos = sText.find(sFrom); iPos != std::string::npos;
         iPos = sText.find(sFrom, iPos + sTo.size()))
        sText.replace(iPos, sFrom.size(), sTo);
    return sText;
}

// The banner line as the tool prints it, taken from a "--version" run whose framing
// the tests below check.
std::string bannerLine() {
    static const std::string sLine = [] {
        const std::string sOut = runBrellix({"--version"}).sOut;
        const size_t iEnd = sOut.find('\n', 1);
        return iEnd == std::string::npos ? sOut : sOut.substr(1, iEnd - 1);
    }();
    return sLine;
}

std::string versionBlock() {
    return "\n" + bannerLine() + "\n\n";
}

class cDriverTest : public testing::Test {
  protected:
    cTempDir oDir;
    const std::string sMissing = oDir.file("no-such-device");

    cRunResult run(const std::vector<std::string>& lArgs) {
        std::vector<std::string> lResolved;
        for (const std::string& sArg : lArgs)
            lResolved.push_back(replaceAll(sArg, MISSING, sMissing));
        cRunResult oResult = runBrellix(lResolved);
        // No run may create the device it was pointed at.
        EXPECT_FALSE(fileExists(sMissing));
        return oResult;
    }

    void expectRun(const std::vector<std::string>& lArgs, const std::string& sOut, const std::string& sErr,
                   int iStatus) {
        SCOPED_TRACE(testing::PrintToString(lArgs));
        const cRunResult oResult = run(lArgs);
        EXPECT_EQ(oResult.sOut, replaceAll(sOut, MISSING, sMissing));
        EXPECT_EQ(oResult.sErr, replaceAll(sErr, MISSING, sMissing));
        EXPECT_EQ(oResult.iStatus, iStatus);
    }
};

TEST_F(cDriverTest, versionFraming) {
    const cRunResult oResult = run({"--version"});
    EXPECT_EQ(oResult.iStatus, 0);
    EXPECT_EQ(oResult.sErr, "");
    // An empty line, the banner with its note on the same line, an empty line; no help.
    const std::string& sOut = oResult.sOut;
    EXPECT_EQ(sOut.rfind("\n" + BANNER_START, 0), 0u) << sOut;
    EXPECT_EQ(std::count(sOut.begin(), sOut.end(), '\n'), 3) << sOut;
    ASSERT_GE(sOut.size(), 2u);
    EXPECT_EQ(sOut.substr(sOut.size() - 2), "\n\n") << sOut;
    EXPECT_EQ(bannerLine(), BANNER);
}

// Runs that end normally: which of banner, device notice and help screen appear.
struct cNormalRun {
    std::vector<std::string> lArgs;
    bool bBanner;
    std::string sNotice;
    bool bHelp;
};

TEST_F(cDriverTest, normalRunsPrintBannerNoticeAndHelp) {
    const std::string sNotice = "** using device " + MISSING + "\n";
    const std::vector<std::string> lSixEmpty(6, "");
    const cNormalRun aRuns[] = {
        // Nothing else done: the help screen.
        {{}, false, "", true},
        {{"-h"}, false, "", true},
        {{"--help"}, false, "", true},
        {{"-q"}, false, "", true},
        {{"--quiet"}, false, "", true},
        {{"-v"}, false, "", true},
        {{"--verbose"}, false, "", true},
        {{"--force"}, false, "", true},
        {{"-v", "-q", "--force"}, false, "", true},
        {{"-q", "-h"}, false, "", true},
        {{"-v", "-h", "-q"}, false, "", true},
        // The banner suppresses the automatic help, not the asked-for one.
        {{"--version"}, true, "", false},
        {{"--version", "-q"}, true, "", false},
        {{"--version", "--help"}, true, "", true},
        {{"-h", "--version"}, true, "", true},
        // The device notice; the device is not opened without a command.
        {{"-d", MISSING}, false, sNotice, true},
        {{"--device", MISSING}, false, sNotice, true},
        {{"-v", "-d", MISSING, "--force"}, false, sNotice, true},
        {{"-q", "-d", MISSING}, false, "", true},
        {{"-d", MISSING, "--quiet"}, false, "", true},
        {{"--version", "-d", MISSING}, true, sNotice, false},
        {{"-d", MISSING, "-h", "--version"}, true, sNotice, true},
        // The value after "-d" is taken whatever it looks like, so "-l" is no command.
        {{"-d", "-l"}, false, "** using device -l\n", true},
        // Tokens that reach headings and the entries with an empty name: the second
        // empty token gives "--version".
        {{"-- file options --"}, false, "", true},
        {{"-- basic options --", "-- device options --"}, false, "", true},
        {{""}, false, "", true},
        {{"", ""}, true, "", false},
        {lSixEmpty, true, "", false},
    };
    for (const cNormalRun& oRun : aRuns)
        expectRun(oRun.lArgs,
                  (oRun.bBanner ? versionBlock() : "") + oRun.sNotice + (oRun.bHelp ? HELP_SCREEN : ""), "",
                  0);
}

TEST_F(cDriverTest, commandWithMissingDeviceFails) {
    // Each of these opens the device before anything else it prints.
    const std::vector<std::vector<std::string>> lCommands = {
        {"-l"},           {"--list"},        {"-c"},           {"-gm"},         {"-gdid"}, {"-e", "name"},
        {"-r", "a", "b"}, {"-mv", "a", "b"}, {"-w", "a", "b"}, {"-sdid", "id"},
    };
    for (const auto& lCommand : lCommands) {
        std::vector<std::string> lArgs = {"-d", MISSING};
        lArgs.insert(lArgs.end(), lCommand.begin(), lCommand.end());
        expectRun(lArgs, "** using device " + MISSING + "\n", OPEN_FAILURE, 1);
    }
}

TEST_F(cDriverTest, failedCommandEndsTheRun) {
    const std::string sNotice = "** using device " + MISSING + "\n";
    // Command-line order does not matter; no help after a failure, even when asked for.
    expectRun({"-l", "-d", MISSING}, sNotice, OPEN_FAILURE, 1);
    expectRun({"-h", "-d", MISSING, "-l"}, sNotice, OPEN_FAILURE, 1);
    expectRun({"--version", "-d", MISSING, "-c"}, versionBlock() + sNotice, OPEN_FAILURE, 1);
    // Quiet silences the notice, not the failure.
    expectRun({"-q", "-d", MISSING, "-l"}, "", OPEN_FAILURE, 1);
    expectRun({"-rs", "name", "-d", MISSING}, "", OPEN_FAILURE, 1);
    expectRun({"-d", MISSING, "--read-stdout", "name"}, "", OPEN_FAILURE, 1);
    expectRun({"-d", MISSING, "-rs", "name", "-l"}, "", OPEN_FAILURE, 1);
}

TEST_F(cDriverTest, defaultDeviceIsUsedWithoutNotice) {
    if (fileExists("/dev/mtd0"))
        GTEST_SKIP() << "this machine has a /dev/mtd0";
    expectRun({"-l"}, "", OPEN_FAILURE, 1);
    expectRun({"-v", "-l"}, "", OPEN_FAILURE, 1);
}

// A bad command line: the parser's line, then the driver's, nothing on stdout.
struct cBadLine {
    std::vector<std::string> lArgs;
    std::string sMessage;
};

TEST_F(cDriverTest, badCommandLineGivesTwoErrorLines) {
    const std::vector<std::string> lSevenEmpty(7, "");
    const cBadLine aLines[] = {
        // Missing values, named by the short form.
        {{"-d"}, "to many arguments for parameter -d"},
        {{"--device"}, "to many arguments for parameter -d"},
        {{"-l", "-d"}, "to many arguments for parameter -d"},
        {{"-q", "-d"}, "to many arguments for parameter -d"},
        {{"-r", "a"}, "to many arguments for parameter -r"},
        {{"--read", "a"}, "to many arguments for parameter -r"},
        {{"-w", "a"}, "to many arguments for parameter -w"},
        {{"-mv", "a"}, "to many arguments for parameter -mv"},
        {{"--rename"}, "to many arguments for parameter -mv"},
        {{"-sm"}, "to many arguments for parameter -sm"},
        {{"-e"}, "to many arguments for parameter -e"},
        {{"-rs"}, "to many arguments for parameter -rs"},
        {{"--set-device-id"}, "to many arguments for parameter -sdid"},
        // Tokens no entry takes, repeated options among them.
        {{"--lst"}, "unknown parameter \"--lst\""},
        {{"-l", "--list"}, "unknown parameter \"--list\""},
        {{"-l", "-l"}, "unknown parameter \"-l\""},
        {{"-h", "--help"}, "unknown parameter \"--help\""},
        {{"--device=/dev/mtd1"}, "unknown parameter \"--device=/dev/mtd1\""},
        {{"-lv"}, "unknown parameter \"-lv\""},
        {{"-L"}, "unknown parameter \"-L\""},
        {{"--HELP"}, "unknown parameter \"--HELP\""},
        {{"--ver"}, "unknown parameter \"--ver\""},
        {{"--", "-l"}, "unknown parameter \"--\""},
        {{"stray"}, "unknown parameter \"stray\""},
        {{"fatal not found"}, "unknown parameter \"fatal not found\""},
        {{"-- file options --", "-- file options --"}, "unknown parameter \"-- file options --\""},
        {lSevenEmpty, "unknown parameter \"\""},
        // No option has any effect after a failed parse: no help, banner, notice,
        // quiet or command.
        {{"-h", "--bogus"}, "unknown parameter \"--bogus\""},
        {{"--version", "--bogus"}, "unknown parameter \"--bogus\""},
        {{"-d", MISSING, "--bogus"}, "unknown parameter \"--bogus\""},
        {{"-d", MISSING, "-l", "--bogus"}, "unknown parameter \"--bogus\""},
        {{"-rs", "name", "--bogus"}, "unknown parameter \"--bogus\""},
        {{"--bogus", "-h"}, "unknown parameter \"--bogus\""},
    };
    for (const cBadLine& oLine : aLines)
        expectRun(oLine.lArgs, "", "Error in command line: " + oLine.sMessage + "\n" + PARSE_FAILURE, 1);
}

} // namespace
