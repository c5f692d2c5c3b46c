// Local files opened by descriptor, read and written whole.
#include "tool/cLocalFile.h"

#include <fcntl.h>
#include <unistd.h>

#include "tinyfs/fileIo.h"

cLocalFile::cLocalFile(const std::string& sPath, int iFlags)
    : sPath(sPath), iFd(::open(sPath.c_str(), iFlags, NEW_FILE_MODE)) {
    if (iFd < 0)
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
    return ::close(iClosing) == 0;
}
