// Parsing the interposition log, and the environment that sets the library up.
#include "tests/interpose/cIoLog.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
constexpr int64_t LOGGED_PAGE_SIZE = 1056; // the interposer counts the board's pages
} // namespace

cIoLog::cIoLog(const std::string& sPath) {
    std::ifstream oIn(sPath);
    for (std::string sLine; std::getline(oIn, sLine);) {
        std::istringstream oFields(sLine);
        std::string sKind;
        oFields >> sKind;
        if (sKind == "fault") {
            lFaults.push_back(sLine.substr(sKind.size() + 1));
            continue;
        }
        if (sKind == "cut") {
            std::string sHow;
            oFields >> iCutPage >> sHow;
            bCutTorn = sHow == "torn";
            continue;
        }
        cIoCall oCall;
        oCall.sKind = sKind;
        if (!(oFields >> oCall.iPos >> oCall.iLength >> oCall.iResult))
            continue; // a line cut short by a killed process
        if (oFields.peek() == ' ')
            oFields.get();
        std::getline(oFields, oCall.sPath);
        lCalls.push_back(oCall);
    }
}

int64_t cIoLog::count(const std::string& sKind) const {
    int64_t iCount = 0;
    for (const cIoCall& oCall : lCalls)
        iCount += oCall.sKind == sKind;
    return iCount;
}

int64_t cIoLog::indexOf(const std::string& sKind, int64_t iNth) const {
    for (size_t i = 0; i < lCalls.size(); ++i) {
        if (lCalls[i].sKind == sKind && --iNth == 0)
            return int64_t(i);
    }
    return -1;
}

int64_t cIoLog::stdoutBytesBefore(int64_t iIndex) const {
    int64_t iBytes = 0;
    for (int64_t i = 0; i < iIndex && i < int64_t(lCalls.size()); ++i) {
        if (lCalls[size_t(i)].sKind == "stdout")
            iBytes += lCalls[size_t(i)].iLength;
    }
    return iBytes;
}

int64_t cIoLog::pagesOf(const std::string& sKind) const {
    int64_t iPages = 0;
    for (const cIoCall& oCall : lCalls) {
        if (oCall.sKind != sKind || oCall.iResult <= 0)
            continue;
        const int64_t iFirst = oCall.iPos / LOGGED_PAGE_SIZE;
        const int64_t iLast = (oCall.iPos + oCall.iResult - 1) / LOGGED_PAGE_SIZE;
        iPages += iLast - iFirst + 1;
    }
    return iPages;
}

int64_t cIoLog::pagesRead() const {
    return pagesOf("read");
}

int64_t cIoLog::pagesWritten() const {
    return pagesOf("write");
}

std::vector<int32_t> cIoLog::writtenPages() const {
    std::vector<int32_t> lPages;
    for (const cIoCall& oCall : lCalls) {
        if (oCall.sKind != "write" || oCall.iResult <= 0)
            continue;
        const int64_t iLast = (oCall.iPos + oCall.iResult - 1) / LOGGED_PAGE_SIZE;
        for (int64_t iPage = oCall.iPos / LOGGED_PAGE_SIZE; iPage <= iLast; ++iPage)
            lPages.push_back(int32_t(iPage));
    }
    return lPages;
}

std::vector<std::string> interposeEnvironment(const std::string& sLibrary, const cIoSetup& oSetup) {
    std::vector<std::string> lEnv = {"LD_PRELOAD=" + sLibrary};
    // A child sees the first of two entries of one name, so an inherited ASAN_OPTIONS
    // is extended here rather than shadowed.
    const std::string sLinkOrder = "verify_asan_link_order=0";
    if (const char* sInherited = std::getenv("ASAN_OPTIONS")) {
        if (std::string(sInherited).find(sLinkOrder) == std::string::npos)
            ::setenv("ASAN_OPTIONS", (std::string(sInherited) + ":" + sLinkOrder).c_str(), 1);
    } else {
        lEnv.push_back("ASAN_OPTIONS=" + sLinkOrder);
    }
    if (!oSetup.sDevice.empty())
        lEnv.push_back("BRX_IO_DEVICE=" + oSetup.sDevice);
    if (!oSetup.lFiles.empty()) {
        std::string sFiles;
        for (const std::string& sFile : oSetup.lFiles)
            sFiles += (sFiles.empty() ? "" : ":") + sFile;
        lEnv.push_back("BRX_IO_FILES=" + sFiles);
    }
    if (!oSetup.sFail.empty())
        lEnv.push_back("BRX_IO_FAIL=" + oSetup.sFail);
    if (!oSetup.sCut.empty())
        lEnv.push_back("BRX_IO_CUT=" + oSetup.sCut);
    if (oSetup.iDelayUs > 0)
        lEnv.push_back("BRX_IO_DELAY_US=" + std::to_string(oSetup.iDelayUs));
    if (!oSetup.sLog.empty())
        lEnv.push_back("BRX_IO_LOG=" + oSetup.sLog);
    return lEnv;
}
