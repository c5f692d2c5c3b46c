// Local files opened by descriptor, read and written whole.
#include "tool/cLocalFile.h"

#include <fcntl.h>
#include <unistd.h>

#include "tinyfs/fileIo.h"

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
    return readAll(iFd, pDest, iLength);
}

bool cLocalFile::write(const uint8_t* pSource, size_t iLength) {
    return writeAll(iFd, pSource, iLength);
}

bool cLocalFile::close() {
    const int iClosing = iFd;
    iFd = -1;
    return iClosing >= 0 && ::close(iClosing) == 0;
}
