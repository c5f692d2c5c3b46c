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

cImageReport reportOf(const std::string& sPath) {
    struct stat oOpened;
    return readReport(sPath, true, oOpened);
}

} // namespace

// Without blocking: a FIFO without a writer must not hang before it is refused.
cImageReport readReport(const std::string& sPath, bool bNodes, struct stat& oOpened) {
    cDescriptor oFile(::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (oFile.iFd < 0 || ::fstat(oFile.iFd, &oOpened) != 0)
        throw "cannot read " + quoteForMessage(sPath) + ": " + std::strerror(errno);
    if (!bNodes || (!S_ISCHR(oOpened.st_mode) && !S_ISBLK(oOpened.st_mode)))
        cImageSource::checkImageFile(sPath, oOpened);
    cMtdDevice oDevice(oFile.release(), sPath, LOCK_SHARED);
    try {
        return reportImage(oDevice);
    } catch (const std::string& sProblem) {
        throw "cannot read " + quoteForMessage(sPath) + ": " + sProblem;
    }
}

namespace {

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
