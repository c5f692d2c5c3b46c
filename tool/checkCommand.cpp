// brellix --check: the integrity check's phases and findings as lines on the console.
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/hexText.h"
#include "tinyfs/integrityCheck.h"
#include "tool/commands.h"
#include "tool/console.h"

void checkFilesystem(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    cCheckHooks oHooks;
    oHooks.fPhase = [](const std::string& sPhase) { printInfo(sPhase); };
    // A quiet check makes no lines: a table of a thousand files checks fast.
    if (!bQuiet)
        oHooks.fFile = [](const cTinyFsFile& oFile, bool bChecked) {
            printPlain((bChecked ? "  * Checking " : "  * Skip checking ") + shownName(oFile.getName()) +
                       (bChecked ? "..." : " (no checksum)..."));
        };
    oHooks.oStatus = consoleStatusLine();
    if (oCmdLine.getParameter("--force").isPresent())
        oHooks.fFinding = [](const std::string& sFinding) { printInfo(sFinding); };
    printPlain(checkFileSystem(oFs, oHooks));
}
