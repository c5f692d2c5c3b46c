// Reads and writes that retry interrupted calls and continue after partial counts.
#include "tinyfs/fileIo.h"

#include <cerrno>
#include <unistd.h>

ssize_t readAll(int iFd, uint8_t* pDest, size_t iLength, int64_t iAt) {
    size_t iDone = 0;
    while (iDone < iLength) {
        const ssize_t iGot = iAt == AT_CURRENT
                                 ? ::read(iFd, pDest + iDone, iLength - iDone)
                                 : ::pread(iFd, pDest + iDone, iLength - iDone, off_t(iAt + iDone));
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

bool cDescriptor::close() {
    const int iClosing = iFd;
    iFd = -1;
    return iClosing >= 0 && ::close(iClosing) == 0;
}

bool writeAll(int iFd, const uint8_t* pSource, size_t iLength, int64_t iAt) {
    for (size_t iDone = 0; iDone < iLength;) {
        const ssize_t iPut = iAt == AT_CURRENT
                                 ? ::write(iFd, pSource + iDone, iLength - iDone)
                                 : ::pwrite(iFd, pSource + iDone, iLength - iDone, off_t(iAt + iDone));
        if (iPut < 0 && errno == EINTR)
            continue;
        if (iPut <= 0)
            return false;
        iDone += size_t(iPut);
    }
    return true;
}
