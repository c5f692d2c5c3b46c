// Matching of one declared entry against the token at the parser's index.
#include "cmdline/cCmdLineParameter.h"

cCmdLineParameter::cCmdLineParameter(int32_t iKind, const std::string& sShortName,
                                     const std::string& sLongName, int32_t iArgMode,
                                     const std::string& sArgDescription, const std::string& sHelpText)
    : sShortName(sShortName), sLongName(sLongName), sArgDescription(sArgDescription), sHelpText(sHelpText),
      iKind(iKind), iArgMode(iArgMode) {}

bool cCmdLineParameter::match(const char* const* pArgv, int32_t& iIndex, int32_t iArgc, bool& bMatched) {
    // An entry takes one token per run; a repeated option falls through to the later
    // entries and, unmatched, ends the parse.
    if (bPresent)
        return true;

    const std::string sToken = pArgv[iIndex];
    if (iArgMode != ARG_POSITIONAL && sToken != sShortName && sToken != sLongName)
        return true;

    bPresent = true;
    bMatched = true;

    const int32_t iNeeded = iArgMode == ARG_ONE ? 1 : iArgMode == ARG_TWO ? 2 : 0;
    if (!(iIndex < iArgc - iNeeded))
        return false;

    if (iArgMode == ARG_POSITIONAL) {
        if (sToken.empty())
            return false;
        if (sToken[0] == '-') {
            // Leave option-like tokens to the option entries.
            bPresent = false;
            bMatched = false;
            return true;
        }
    }

    if (iArgMode == ARG_ONE || iArgMode == ARG_TWO)
        ++iIndex;
    sValue = pArgv[iIndex];
    if (iArgMode == ARG_TWO) {
        ++iIndex;
        sValue2 = pArgv[iIndex];
    }
    return true;
}

std::string cCmdLineParameter::getShortColumn() const {
    return iArgMode == ARG_ONE ? sShortName + " " + sArgDescription : sShortName;
}

std::string cCmdLineParameter::getLongColumn() const {
    return iArgMode == ARG_ONE ? sLongName + " " + sArgDescription : sLongName;
}
