// fuzz_cmdline: the command-line parser over arbitrary argument vectors, with the
// tool's own option table.
//
// The input is cut at zero bytes into the arguments after the program name. The table
// is the tool's own. Each run checks that parsing ends with exactly one error line or none,
// that every value handed out came from the argument vector, and that the help screen
// does not depend on what was parsed.
#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "cmdline/cCmdLine.h"
#include "fuzz/fuzzSupport.h"
#include "tool/optionTable.h"

namespace {

const std::vector<cOptionRow> lOptionRows(OPTION_TABLE, OPTION_TABLE + OPTION_TABLE_ROWS);

constexpr char ERROR_PREFIX[] = "Error in command line: ";

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
        for (const cOptionRow& oRow : lOptionRows)
            bKnown = bKnown || sErr == ERROR_PREFIX + ("to many arguments for parameter " +
                                                       std::string(oRow.sShortName) + "\n");
        require(bKnown, "a failed parse prints one error line of its own");
    }

    const auto fromArgv = [&](const std::string& sValue) {
        return std::find(lTokens.begin() + 1, lTokens.end(), sValue) != lTokens.end();
    };
    for (const cOptionRow& oRow : lOptionRows) {
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
