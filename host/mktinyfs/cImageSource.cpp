// Opening, checking and reading the image that --extract takes apart.
#include "host/mktinyfs/cImageSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/layout.h"

cImageSource::cImageSource(const std::string& sPath)
    : sPath(sPath), oFile(::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    struct stat oStat;
    if (oFile.iFd < 0 || ::fstat(oFile.iFd, &oStat) != 0)
        fail();
    std::string sProblem;
    if (!S_ISREG(oStat.st_mode))
        sProblem = "it is not a regular file";
    else if (oStat.st_size != off_t(DEVICE_SIZE))
        sProblem = "it has " + std::to_string(oStat.st_size) + " bytes";
    if (!sProblem.empty())
        throw quoteForMessage(sPath) + " is not an image of 0x840000 bytes: " + sProblem;
    pLock = std::make_unique<cDeviceLock>(oFile.iFd, oStat, sPath, LOCK_SHARED);
}

void cImageSource::read(uint32_t iOffset, uint8_t* pDest, uint32_t iLength) const {
    const ssize_t iGot = readAll(oFile.iFd, pDest, iLength, iOffset);
    if (iGot >= 0 && size_t(iGot) < iLength)
        errno = EIO; // the file shrank since it was measured
    if (iGot < 0 || size_t(iGot) < iLength)
        fail();
}

void cImageSource::fail() const {
    throw "cannot read " + quoteForMessage(sPath) + ": " + std::strerror(errno);
}
