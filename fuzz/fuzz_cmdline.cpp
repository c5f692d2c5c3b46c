// fuzz_cmdline: the command-line parser over arbitrary argument vectors, with the
// tool's own option table.
//
// The input is cut at zero bytes into the arguments after the program name. The table
// is declared here row by row as the tool declares it, so the tool exposes nothing for
// the fuzzer. Each run checks that parsing ends with exactly one error line or none,
// that every value handed out came from the argument vector, and that the help screen
// does not depend on what was parsed.
#include <algorithm>
#include <memory>
#include <sstream>

#include "cmdline/cCmdLine.h"
#include "fuzz/fuzzSupport.h"

namespace {

struct cOptionRow {
    const char* sShortName; // the heading text for a heading row
    const char* sLongName;  // nullptr for a heading row
    int32_t iArgMode;
    const char* sArgDescription;
    const char* sHelpText;
};

const cOptionRow OPTION_TABLE[] = {
    {"-- basic options --", nullptr, ARG_NONE, "", ""},
    {"-h", "--help", ARG_NONE, "", "show help screen"},
    {"", "--version", ARG_NONE, "", "show version information"},
    {"-v", "--verbose", ARG_NONE, "", "force maximum output"},
    {"-q", "--quiet", ARG_NONE, "", "no info messages"},
    {"", "--force", ARG_NONE, "", "force operation"},
    {"-- tinyfs options --", nullptr, ARG_NONE, "", ""},
    {"-d", "--device", ARG_ONE, "", "specify the mtd device (default is /dev/mtd0)"},
    {"-c", "--check", ARG_NONE, "", "check filesystem"},
    {"-- file options --", nullptr, ARG_NONE, "", ""},
    {"-sm", "--set-mac", ARG_ONE, "", "specify a new mac-address"},
    {"-gm", "--get-mac", ARG_NONE, "", "read out the current mac-address"},
    {"-l", "--list", ARG_NONE, "", "list all files"},
    {"-e", "--exists", ARG_ONE, "", "check for existence of file"},
    {"-r", "--read", ARG_TWO, "", "copy a file to local filesystem"},
    {"-rs", "--read-stdout", ARG_ONE, "", "print the contents of given file to stdout\n(implies --quiet)"},
    {"-w", "--write", ARG_TWO, "", "copy a file from local fs to device (program flash)"},
    {"-mv", "--rename", ARG_TWO, "file new-file", "rename a file"},
    {"-- device options --", nullptr, ARG_NONE, "", ""},
    {"-sdid", "--set-device-id", ARG_ONE, "", "set the device identifier (take care!)"},
    {"-gdid", "--get-device-id", ARG_NONE, "", "get the device identifier"},
};

constexpr char ERROR_PREFIX[] = "Error in command line: ";

void declareOptions(cCmdLine& oCmdLine) {
    for (const cOptionRow& oRow : OPTION_TABLE) {
        if (oRow.sLongName == nullptr)
            oCmdLine.add(std::make_unique<cCmdLineSeparator>(oRow.sShortName));
        else
            oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, oRow.sShortName, oRow.sLongName,
                                                             oRow.iArgMode, oRow.sArgDescription,
                                                             oRow.sHelpText));
    }
}

std::string helpScreen(const cCmdLine& oCmdLine) {
    std::ostringstream oOut;
    cStreamRedirect oRedirect(std::cout, oOut.rdbuf());
    oCmdLine.printHelp();
    return oOut.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize) {
    std::vector<std::string> lTokens = splitAtZero(pData, iSize);
    lTokens.insert(lTokens.begin(), "brellix");
    std::vector<const char*> lArgv;
    for (const std::string& sToken : lTokens)
        lArgv.push_back(sToken.c_str());
    lArgv.push_back(nullptr);

    cCmdLine oCmdLine(lArgv.data(), int32_t(lTokens.size()));
    declareOptions(oCmdLine);

    std::ostringstream oErr;
    bool bParsed = false;
    {
        cStreamRedirect oRedirect(std::cerr, oErr.rdbuf());
        bParsed = oCmdLine.parse();
        require(oCmdLine.checkRequired(), "the tool declares no required entry");
    }
    const std::string sErr = oErr.str();
    if (bParsed) {
        require(sErr.empty(), "a successful parse prints nothing");
    } else {
        // One line, in one of the two forms the parser has.
        bool bKnown = false;
        for (size_t i = 1; i < lTokens.size() && !bKnown; ++i)
            bKnown = sErr == ERROR_PREFIX + ("unknown parameter \"" + lTokens[i] + "\"\n");
        for (const cOptionRow& oRow : OPTION_TABLE)
            bKnown = bKnown || sErr == ERROR_PREFIX + ("to many arguments for parameter " +
                                                       std::string(oRow.sShortName) + "\n");
        require(bKnown, "a failed parse prints one error line of its own");
    }

    const auto fromArgv = [&](const std::string& sValue) {
        return std::find(lTokens.begin() + 1, lTokens.end(), sValue) != lTokens.end();
    };
    for (const cOptionRow& oRow : OPTION_TABLE) {
        if (oRow.sLongName == nullptr)
            continue;
        cCmdLineParameter& oOption = oCmdLine.getParameter(oRow.sLongName);
        require(oOption.getLongName() == oRow.sLongName, "lookup by long name");
        if (!oOption.isPresent())
            continue;
        require(fromArgv(oRow.sLongName) || fromArgv(oRow.sShortName), "a present option was given");
        // An option that lacked its values ends the parse present but empty.
        if (!bParsed)
            continue;
        if (oRow.iArgMode == ARG_ONE || oRow.iArgMode == ARG_TWO)
            require(fromArgv(oOption.getValue()), "an option value comes from the argument vector");
        if (oRow.iArgMode == ARG_TWO)
            require(fromArgv(oOption.getValue2()), "a second value comes from the argument vector");
    }
    const cCmdLineParameter& oMissing = oCmdLine.getParameter("--no-such-option");
    require(!oMissing.isPresent() && oMissing.getValue().empty() && oMissing.getValue2().empty(),
            "an undeclared name is never present");

    static const std::string sReferenceHelp = [] {
        const char* const aNoArgs[] = {"brellix", nullptr};
        cCmdLine oFresh(aNoArgs, 1);
        declareOptions(oFresh);
        return helpScreen(oFresh);
    }();
    require(helpScreen(oCmdLine) == sReferenceHelp, "the help screen does not depend on the arguments");
    return 0;
}
