// Opening the images that --info and --diff read: an image file or the device node
// itself, opened read-only, checked by what was opened, then held under the shared lock
// brellix takes for reading, for as long as they are read.
#include "host/mktinyfs/infoDiffCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

#include "host/mktinyfs/cImageSource.h"
#include "host/mktinyfs/imageDiff.h"
#include "host/mktinyfs/imageReport.h"
#include "host/mktinyfs/messageText.h"
#include "host/mktinyfs/standardOutput.h"
#include "tinyfs/cMtdDevice.h"

namespace {

// Without blocking: a FIFO without a writer must not hang before it is refused.
cImageReport reportOf(const std::string& sPath) {
    cDescriptor oFile(::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat oStat;
    if (oFile.iFd < 0 || ::fstat(oFile.iFd, &oStat) != 0)
        throw "cannot read " + quoteForMessage(sPath) + ": " + std::strerror(errno);
    if (!S_ISCHR(oStat.st_mode) && !S_ISBLK(oStat.st_mode))
        cImageSource::checkImageFile(sPath, oStat);
    cMtdDevice oDevice(oFile.release(), sPath, LOCK_SHARED);
    try {
        return reportImage(oDevice);
    } catch (const std::string& sProblem) {
        throw "cannot read " + quoteForMessage(sPath) + ": " + sProblem;
    }
}

int print(const std::string& sText, int iStatus) {
    std::fputs(sText.c_str(), stdout);
    finishStandardOutput();
    return iStatus;
}

} // namespace

int infoCommand(const std::string& sImage, bool bJson) {
    const cImageReport oReport = reportOf(sImage);
    return print(bJson ? infoJson(oReport) : infoText(oReport), oReport.bClean ? 0 : 1);
}

int diffCommand(const std::string& sOld, const std::string& sNew, bool bJson) {
    const cImageReport oOld = reportOf(sOld);
    const cImageReport oNew = reportOf(sNew);
    const cImageDiff oDiff = diffImages(oOld, oNew);
    return print(bJson ? diffJson(oOld, oNew, oDiff) : diffText(oOld, oNew, oDiff), oDiff.isSame() ? 0 : 1);
}
