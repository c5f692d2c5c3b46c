// The commands on files of the image: list, exists, read, read to standard output,
// rename and write.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cProgress.h"
#include "tinyfs/cSignalHold.h"
#include "tinyfs/cTinyFs.h"
#include "tinyfs/hexText.h"
#include "tinyfs/retry.h"
#include "tool/cContentBuffer.h"
#include "tool/cFailure.h"
#include "tool/cLocalFile.h"
#include "tool/cLocalSource.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/textFormat.h"

namespace {

constexpr int32_t NAME_COLUMN = 20;
constexpr int32_t SIZE_COLUMN = 16;
constexpr int32_t CHECKSUM_COLUMN = 7; // "0x" and four digits, then a blank
constexpr int32_t FLAGS_COLUMN = 15;
constexpr int32_t GROWABLE_COLUMN = 13;
// How many times "--read" looks for the reader of a FIFO, a pause apart (tinyfs/retry.h).
constexpr int READER_TRIES = 20;

// The flag letters in their order, the load address behind "L", and "B" for an empty file
// before "Ax", where the listing has always shown it.
std::string flagText(const cTinyFsFile& oFile) {
    std::string sFlags;
    for (const cFlagName& oName : FLAG_NAMES) {
        if (oName.iBit == FLAG_AX && oFile.isEmpty())
            sFlags += "B";
        if ((oFile.getFlags() & oName.iBit) == 0)
            continue;
        sFlags += oName.sLetters;
        if (oName.iBit == FLAG_LOAD_ADDRESS)
            sFlags += "(" + hexNumber(oFile.getLoadAddress()) + ")";
    }
    return sFlags;
}

std::string listingLine(const cTinyFsFile& oFile, bool bVerbose) {
    std::string sLine = padRight(shownName(oFile.getName()), NAME_COLUMN) + " | " +
                        padRight(toDec(oFile.getSize(), 0) + " bytes", SIZE_COLUMN) + " | ";
    if (bVerbose)
        sLine += "Sum: " + padRight(hexNumber(oFile.getChecksum()), CHECKSUM_COLUMN) + " | " +
                 padRight(flagText(oFile), FLAGS_COLUMN) + " | ";
    return sLine + padRight(toDec(PERCENT - oFile.getUsagePercent(), 0) + "% growable", GROWABLE_COLUMN) +
           " (" + toDec(oFile.getBytesLeft(), 0) + " bytes left)";
}

// Reads a whole file for copying out, and applies the checksum rule: a mismatch ends
// the run unless "--force" lets the contents through.
std::unique_ptr<cContentBuffer> readChecked(cCmdLine& oCmdLine, const cTinyFsFile& oFile, uint32_t iExtra) {
    oFile.requireInsideDevice();
    const uint32_t iSize = oFile.getSize();
    auto pContents = std::make_unique<cContentBuffer>(size_t(iSize) + iExtra);
    cProgress oProgress(oFile.getName(), iSize, consoleStatusLine());
    if (oFile.read(pContents->data(), iSize, oProgress.reporter()) != oFile.getChecksum()) {
        if (!oCmdLine.getParameter("--force").isPresent())
            throw std::string(
                "Checksum error would produce invalid output (use --force to write nevertheless)");
        printInfo("Checksum error (invalid output produced!)");
    }
    return pContents;
}

// The local file of "--read", opened for writing as it stands. A FIFO needs a reader,
// who may still be on the way to opening it: it gets a second.
std::unique_ptr<cLocalFile> openTarget(const std::string& sPath) {
    std::unique_ptr<cLocalFile> pLocal;
    int iTries = READER_TRIES;
    const bool bDone = retryPaused(
        [&] {
            pLocal = std::make_unique<cLocalFile>(sPath, O_WRONLY | O_CREAT);
            struct stat oFile;
            return pLocal->isOpen() || pLocal->openError() != ENXIO || ::stat(sPath.c_str(), &oFile) != 0 ||
                   !S_ISFIFO(oFile.st_mode);
        },
        iTries);
    if (!bDone)
        throw "local file is a FIFO without a reader (" + sPath + ")";
    pLocal->requireOpen();
    return pLocal;
}

} // namespace

void listFiles(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const bool bVerbose = oCmdLine.getParameter("--verbose").isPresent();
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        if (!bQuiet) // a quiet listing only checks the sizes
            printPlain(listingLine(oFile, bVerbose));
        if (oFile.getSize() > oFile.getCapacity())
            throw "File system corrupt! (" + shownName(oFile.getName()) + ")";
    }
}

void testExists(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    try {
        oFs.find(oCmdLine.getParameter("--exists").getValue());
    } catch (const std::string&) {
        // The answer is the exit status alone.
        throw cFailure(EXIT_FAILURE);
    }
    printInfo("File exists.");
}

void readFile(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cCmdLineParameter& oOption = oCmdLine.getParameter("--read");
    const std::string& sPath = oOption.getValue2();
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find(oOption.getValue());
    // Opening the device itself for writing would empty it, and the copy would land over
    // the start of the flash.
    if (oDevice.isSameFile(sPath))
        throw "local file is the device itself (" + sPath + ")";
    const std::unique_ptr<cContentBuffer> pContents = readChecked(oCmdLine, oFile, 0);

    // Opened without emptying it, and looked at by its descriptor, so that no name that
    // changed since the check above, and no other node of the flash, is written.
    const std::unique_ptr<cLocalFile> pLocal = openTarget(sPath);
    cLocalFile& oLocal = *pLocal;
    const tAlias iAlias = oDevice.aliasOf(oLocal.get());
    if (iAlias != ALIAS_NONE)
        throw std::string("local file is ") +
            (iAlias == ALIAS_SAME ? "the device itself" : "a block device") + " (" + sPath + ")";
    struct stat oTarget;
    if (::fstat(oLocal.get(), &oTarget) != 0 ||
        (S_ISREG(oTarget.st_mode) && ::ftruncate(oLocal.get(), 0) != 0))
        throw std::string("unable to write data");
    // A file system may report a failed write only when the file is closed.
    if (!oLocal.write(pContents->data(), oFile.getSize()) || !oLocal.close())
        throw std::string("unable to write data");
}

void readFileToStdout(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find(oCmdLine.getParameter("--read-stdout").getValue());
    const std::unique_ptr<cContentBuffer> pContents = readChecked(oCmdLine, oFile, 1);
    // Written as a zero-terminated text: output stops at the first zero byte.
    pContents->data()[oFile.getSize()] = 0;
    const char* sText = reinterpret_cast<const char*>(pContents->data());
    printText(std::string_view(sText, std::strlen(sText)));
}

void renameFile(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cCmdLineParameter& oOption = oCmdLine.getParameter("--rename");
    cMtdDevice oDevice = oRun.open();
    cTinyFs oFs(oDevice);
    cTinyFsFile& oFile = oFs.find(oOption.getValue());
    const std::string sNewName = oOption.getValue2();
    // An empty name would end the table at this slot and lose every later file.
    if (sNewName.empty())
        throw "invalid new name (\"" + sNewName + "\")";
    oFile.rename(sNewName);
    printInfo("Renaming to " + shownName(sNewName));
    cSignalHold oHold(oDevice, "--rename");
    oFs.writeFat();
    oHold.release();
}

void writeFile(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    cCmdLineParameter& oOption = oCmdLine.getParameter("--write");
    // Looked at before the device is locked: a FIFO is refused at once instead of holding
    // the device while it waits for a writer. A file that cannot be opened is reported
    // once its name was found in the image.
    cLocalFile oLocal(oOption.getValue2(), O_RDONLY);
    cLocalSource oSource(oLocal);
    cMtdDevice oDevice = oRun.open();
    cTinyFs oFs(oDevice);
    // In a table cut short the last file's room runs over the files the cut hid, which
    // only a salvaging extraction can still recover.
    try {
        oFs.checkTableEnd();
    } catch (const std::string& sCut) {
        throw sCut +
            "; nothing written: dump the device, recover its files with mktinyfs --extract --salvage, "
            "then rebuild it";
    }
    cTinyFsFile& oFile = oFs.find(oOption.getValue());
    oSource.measure(oFile.getCapacity());
    cSignalHold oHold(oDevice, "--write");
    const uint64_t iUntouched = oDevice.getProgrammed();
    bool bTable = false;
    try {
        {
            cProgress oProgress(oFile.getName(), oSource.length(), consoleStatusLine());
            oFile.rewrite(
                oSource.length(), [&](uint8_t* pDest, uint32_t iCount) { oSource.fill(pDest, iCount); },
                oProgress.reporter());
        }
        // Bytes beyond the measured length never reach the flash, and the table keeps
        // describing the old contents.
        oSource.requireEnd();
        bTable = true;
        oFs.writeFat();
    } catch (const std::string& sFailure) {
        if (oDevice.getProgrammed() == iUntouched)
            throw;
        const std::string sName = "\"" + shownName(oFile.getName()) + "\"";
        // The contents and the whole table are programmed; only reading the table back failed.
        if (bTable && oDevice.isUnverified())
            throw sFailure +
                "; the table was written but could not be read back to verify it: check the image with "
                "brellix -c, and write " +
                sName + " again if it fails";
        // Contents programmed in part lie under the old size and checksum (or a table
        // page is torn): the file fails its checksum until it is written whole.
        throw sFailure + "; " + sName + " in the image is now damaged, write it again";
    }
    oHold.release();
}
