// Reading the images that --info and --diff report on, through the one opening of an
// image (openImage.h), and printing the report with its exit status.
#include "host/mktinyfs/infoDiffCommand.h"

#include <cstdio>
#include <sys/stat.h>

#include "host/mktinyfs/imageDiff.h"
#include "host/mktinyfs/imageReport.h"
#include "host/mktinyfs/messageText.h"
#include "host/mktinyfs/openImage.h"
#include "host/mktinyfs/standardOutput.h"
#include "tinyfs/cMtdDevice.h"

namespace {

cImageReport reportOf(const std::string& sPath) {
    struct stat oOpened;
    return readReport(sPath, true, oOpened);
}

} // namespace

cImageReport readReport(const std::string& sPath, bool bNodes, struct stat& oOpened) {
    cMtdDevice oDevice = openImage(sPath, bNodes, oOpened);
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
    return print(bJson ? infoJson(oReport) : infoText(oReport), oReport.oVerdict.bClean ? 0 : 1);
}

int diffCommand(const std::string& sOld, const std::string& sNew, bool bJson) {
    const cImageReport oOld = reportOf(sOld);
    const cImageReport oNew = reportOf(sNew);
    const cImageDiff oDiff = diffImages(oOld, oNew);
    return print(bJson ? diffJson(oOld, oNew, oDiff) : diffText(oOld, oNew, oDiff), oDiff.isSame() ? 0 : 1);
}
