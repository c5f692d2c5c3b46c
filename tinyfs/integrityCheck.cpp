// The integrity check's phases in brellix --check's order, and its verdict.
#include "tinyfs/integrityCheck.h"

std::string checkFileSystem(cTinyFs& oFs, const cCheckHooks& oHooks) {
    const auto phase = [&](const char* sPhase) {
        if (oHooks.fPhase)
            oHooks.fPhase(sPhase);
    };
    phase("Checking media integrity...");
    oFs.checkTableEnd();
    oFs.checkIntegrity(false);
    phase("Checking boot-time integrity...");
    oFs.checkIntegrity(true);

    phase("Checking content integrity...");
    bool bClean = true;
    const std::vector<cTinyFsFile>& lFiles = oFs.getFiles();
    for (size_t i = 0; i < lFiles.size(); ++i) {
        const cTinyFsFile& oFile = lFiles[i];
        if (oHooks.fFile)
            oHooks.fFile(oFile, oFile.isChecked());
        if (!oFile.isChecked() || (oHooks.fKnownGood && oHooks.fKnownGood(i)))
            continue;
        try {
            cProgress oProgress(oFile.getName(), oFile.getSize(), oHooks.oStatus);
            oFs.verifyChecksum(oFile, oProgress.reporter());
        } catch (const std::string& sFinding) {
            if (!oHooks.fFinding)
                throw;
            oHooks.fFinding(sFinding);
            bClean = false;
        }
    }
    return bClean ? "Filesystem is ready and clean." : "Filesystem contains errors and is NOT ready for use.";
}

cVerdict judgeDevice(cMtdDevice& oDevice, const std::function<bool(size_t iIndex)>& fKnownGood) {
    try {
        cTinyFs oFs(oDevice);
        cCheckHooks oHooks;
        oHooks.fKnownGood = fKnownGood;
        return {true, checkFileSystem(oFs, oHooks)};
    } catch (const std::string& sMessage) {
        return {false, sMessage};
    }
}
