// Reads and writes that retry interrupted calls and continue after partial counts.
#include "tinyfs/fileIo.h"

#include <cerrno>
#include <unistd.h>

ssize_t readAll(int iFd, uint8_t* pDest, size_t iLength) {
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

bool writeAll(int iFd, const uint8_t* pSource, size_t iLength) {
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
