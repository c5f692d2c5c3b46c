// Declaring, parsing and looking up command-line entries.
#include "cmdline/cCmdLine.h"

#include <cstdio>

cCmdLine::cCmdLine(const char* const* pArgv, int32_t iArgc) : pArgv(pArgv), iArgc(iArgc) {}

cCmdLine::~cCmdLine() {
    for (auto& pParameter : lParameters)
        pParameter.reset();
    lParameters.clear();
}

void cCmdLine::add(std::unique_ptr<cCmdLineParameter> pParameter) {
    if (pParameter)
        lParameters.push_back(std::move(pParameter));
}

bool cCmdLine::parse() {
    std::string sError;
    if (parse(sError))
        return true;
    printError(sError);
    return false;
}

bool cCmdLine::parse(std::string& sError) {
    if (pArgv == nullptr) {
        sError = "no interface-file given";
        return false;
    }
    for (int32_t iIndex = 1; iIndex < iArgc; ++iIndex) {
        bool bMatched = false;
        for (const auto& pParameter : lParameters) {
            if (!(iIndex < iArgc))
                break;
            if (!pParameter->match(pArgv, iIndex, iArgc, bMatched)) {
                sError = "to many arguments for parameter " + pParameter->getShortName();
                return false;
            }
            if (bMatched)
                break;
        }
        if (!bMatched) {
            sError = "unknown parameter \"" + std::string(pArgv[iIndex]) + "\"";
            return false;
        }
    }
    return true;
}

bool cCmdLine::checkRequired() {
    for (const auto& pParameter : lParameters) {
        if (pParameter->getKind() == KIND_REQUIRED && !pParameter->isPresent()) {
            printError("missing required parameter (" + pParameter->getArgDescription() + ")");
            return false;
        }
    }
    return true;
}

cCmdLineParameter& cCmdLine::getParameter(const std::string& sName) {
    for (const auto& pParameter : lParameters) {
        if (pParameter->getLongName() == sName)
            return *pParameter;
    }
    return oNotFound;
}

void cCmdLine::printError(const std::string& sMessage) const {
    std::fprintf(stderr, "Error in command line: %s\n", sMessage.c_str());
}
