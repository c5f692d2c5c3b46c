// Opening and checking an image file or device node for reading.
#include "host/mktinyfs/openImage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/hexText.h"
#include "tinyfs/layout.h"

cMtdDevice openImage(const std::string& sPath, bool bNodes, struct stat& oOpened) {
    cDescriptor oFile(::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (oFile.iFd < 0 || ::fstat(oFile.iFd, &oOpened) != 0)
        throw "cannot read " + quoteForMessage(sPath) + ": " + std::strerror(errno);
    if (!bNodes || (!S_ISCHR(oOpened.st_mode) && !S_ISBLK(oOpened.st_mode))) {
        std::string sProblem;
        if (!S_ISREG(oOpened.st_mode))
            sProblem = "it is not a regular file";
        else if (oOpened.st_size != off_t(DEVICE_SIZE))
            sProblem = "it has " + std::to_string(oOpened.st_size) + " bytes";
        if (!sProblem.empty())
            throw quoteForMessage(sPath) + " is not an image of " + hexNumber(DEVICE_SIZE) +
                " bytes: " + sProblem;
    }
    return cMtdDevice(oFile.release(), sPath, LOCK_SHARED);
}
