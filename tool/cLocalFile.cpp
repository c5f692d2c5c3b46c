// Local files opened by descriptor, read and written whole.
#include "tool/cLocalFile.h"

#include <cerrno>
#include <fcntl.h>

#include "tinyfs/fileIo.h"

cLocalFile::cLocalFile(const std::string& sPath, int iFlags)
    : sPath(sPath), oFile(::open(sPath.c_str(), iFlags | O_NONBLOCK | O_NOCTTY, NEW_FILE_MODE)) {
    const int iStatus = oFile.iFd < 0 ? -1 : ::fcntl(oFile.iFd, F_GETFL);
    if (iStatus < 0 || ::fcntl(oFile.iFd, F_SETFL, iStatus & ~O_NONBLOCK) != 0) {
        iOpenError = errno;
        oFile.close();
    }
}

void cLocalFile::requireOpen() const {
    if (!isOpen())
        throw "unable to open file (" + sPath + ")";
}

ssize_t cLocalFile::read(uint8_t* pDest, size_t iLength) {
    return readAll(oFile.iFd, pDest, iLength);
}

bool cLocalFile::write(const uint8_t* pSource, size_t iLength) {
    return writeAll(oFile.iFd, pSource, iLength);
}
