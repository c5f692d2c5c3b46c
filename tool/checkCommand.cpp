// The integrity check: media capacity, boot-time capacity, then file contents.
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cProgress.h"
#include "tinyfs/cTinyFs.h"
#include "tinyfs/hexText.h"
#include "tool/commands.h"
#include "tool/console.h"

void checkFilesystem(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const bool bForce = oCmdLine.getParameter("--force").isPresent();

    printInfo("Checking media integrity...");
    oFs.checkTableEnd();
    oFs.checkIntegrity(false);
    printInfo("Checking boot-time integrity...");
    oFs.checkIntegrity(true);

    printInfo("Checking content integrity...");
    bool bClean = true;
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        // A quiet check makes no lines: a table of a thousand files checks fast.
        const bool bSkip = !oFile.isChecked();
        if (!bQuiet)
            printPlain((bSkip ? "  * Skip checking " : "  * Checking ") + shownName(oFile.getName()) +
                       (bSkip ? " (no checksum)..." : "..."));
        if (bSkip)
            continue;
        try {
            cProgress oProgress(oFile.getName(), oFile.getSize(), consoleStatusLine());
            oFs.verifyChecksum(oFile, oProgress.reporter());
        } catch (const std::string& sError) {
            if (!bForce)
                throw;
            printInfo(sError);
            bClean = false;
        }
    }
    printPlain(bClean ? "Filesystem is ready and clean."
                      : "Filesystem contains errors and is NOT ready for use.");
}
