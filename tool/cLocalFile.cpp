// Local files: transfers that go on after interruptions and partial counts.
#include "tool/cLocalFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr mode_t NEW_FILE_MODE = 0666;
}

cLocalFile::cLocalFile(const std::string& sPath, int iFlags)
    : sPath(sPath), iFd(::open(sPath.c_str(), iFlags | O_NONBLOCK | O_NOCTTY, NEW_FILE_MODE)) {
    const int iStatus = iFd < 0 ? -1 : ::fcntl(iFd, F_GETFL);
    if (iStatus < 0 || ::fcntl(iFd, F_SETFL, iStatus & ~O_NONBLOCK) != 0) {
        iOpenError = errno;
        close();
    }
}

void cLocalFile::requireOpen() const {
    if (!isOpen())
        throw "unable to open file (" + sPath + ")";
}

cLocalFile::~cLocalFile() {
    if (iFd >= 0)
        ::close(iFd);
}

ssize_t cLocalFile::read(uint8_t* pDest, size_t iLength) {
    size_t iDone = 0;
    while (iDone < iLength) {
        const ssize_t iGot = ::read(iFd, pDest + iDone, iLength - iDone);
        if (iGot < 0 && errno == EINTR)
            continue;
        if (iGot < 0)
            return -1;
        if (iGot == 0)
            break;
        iDone += size_t(iGot);
    }
    return ssize_t(iDone);
}

bool cLocalFile::write(const uint8_t* pSource, size_t iLength) {
    for (size_t iDone = 0; iDone < iLength;) {
        const ssize_t iPut = ::write(iFd, pSource + iDone, iLength - iDone);
        if (iPut < 0 && errno == EINTR)
            continue;
        if (iPut <= 0)
            return false;
        iDone += size_t(iPut);
    }
    return true;
}

bool cLocalFile::close() {
    const int iClosing = iFd;
    iFd = -1;
    return iClosing >= 0 && ::close(iClosing) == 0;
}
