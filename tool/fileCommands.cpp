// The commands on files of the image: list, exists, read, read to standard output,
// rename and write.
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>

#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"
#include "tinyfs/hexText.h"
#include "tool/cContentBuffer.h"
#include "tool/cLocalFile.h"
#include "tool/cLocalSource.h"
#include "tool/cProgress.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/textFormat.h"

namespace {

constexpr int32_t NAME_COLUMN = 20;
constexpr int32_t SIZE_COLUMN = 16;
constexpr int32_t CHECKSUM_COLUMN = 5;
constexpr int32_t FLAGS_COLUMN = 15;
constexpr int32_t GROWABLE_COLUMN = 13;

std::string flagText(const cTinyFsFile& oFile) {
    std::string sFlags;
    if (oFile.hasLoadAddress())
        sFlags += "L(0x" + hexDigits(oFile.getLoadAddress()) + ")";
    if (oFile.hasFlagX())
        sFlags += "X";
    if (oFile.isEmpty())
        sFlags += "B";
    if (oFile.hasFlagAx())
        sFlags += "Ax";
    return sFlags;
}

std::string listingLine(const cTinyFsFile& oFile, bool bVerbose) {
    std::string sLine = padRight(oFile.getName(), NAME_COLUMN) + " | " +
                        padRight(toDec(oFile.getSize(), 0) + " bytes", SIZE_COLUMN) + " | ";
    if (bVerbose)
        sLine += "Sum: 0x" + padRight(hexDigits(oFile.getChecksum()), CHECKSUM_COLUMN) + " | " +
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
    cProgress oProgress(oFile.getName(), iSize);
    if (oFile.read(pContents->data(), iSize, oProgress.reporter()) != oFile.getChecksum()) {
        if (!oCmdLine.getParameter("--force").isPresent())
            fatal("Checksum error would produce invalid output (use --force to write nevertheless)");
        printInfo("Checksum error (invalid output produced!)");
    }
    return pContents;
}

} // namespace

void listFiles(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cMtdDevice oDevice(sDevicePath, LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const bool bVerbose = oCmdLine.getParameter("--verbose").isPresent();
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        if (!bQuiet) // a quiet listing only checks the sizes
            printPlain(listingLine(oFile, bVerbose));
        if (oFile.getSize() > oFile.getCapacity())
            fatal("File system corrupt! (" + oFile.getName() + ")");
    }
}

void testExists(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cMtdDevice oDevice(sDevicePath, LOCK_SHARED);
    cTinyFs oFs(oDevice);
    try {
        oFs.find(oCmdLine.getParameter("--exists").getValue());
    } catch (...) {
        // The answer is the exit status alone.
        std::exit(EXIT_FAILURE);
    }
    printInfo("File exists.");
}

void readFile(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cCmdLineParameter& oOption = oCmdLine.getParameter("--read");
    cMtdDevice oDevice(sDevicePath, LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find(oOption.getValue());
    // Opening the device itself for writing would empty it, and the copy would land over
    // the start of the flash.
    if (oDevice.isSameFile(oOption.getValue2()))
        throw "local file is the device itself (" + oOption.getValue2() + ")";
    const std::unique_ptr<cContentBuffer> pContents = readChecked(oCmdLine, oFile, 0);

    cLocalFile oLocal(oOption.getValue2(), O_RDWR | O_CREAT | O_TRUNC);
    // A file system may report a failed write only when the file is closed.
    if (!oLocal.write(pContents->data(), oFile.getSize()) || !oLocal.close())
        throw std::string("unable to write data");
}

void readFileToStdout(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cMtdDevice oDevice(sDevicePath, LOCK_SHARED);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find(oCmdLine.getParameter("--read-stdout").getValue());
    const std::unique_ptr<cContentBuffer> pContents = readChecked(oCmdLine, oFile, 1);
    // Written as a zero-terminated text: output stops at the first zero byte.
    pContents->data()[oFile.getSize()] = 0;
    const char* sText = reinterpret_cast<const char*>(pContents->data());
    printText(std::string_view(sText, std::strlen(sText)));
}

void renameFile(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cCmdLineParameter& oOption = oCmdLine.getParameter("--rename");
    cMtdDevice oDevice(sDevicePath);
    cTinyFs oFs(oDevice);
    cTinyFsFile& oFile = oFs.find(oOption.getValue());
    const std::string sNewName = oOption.getValue2();
    // An empty name would end the table at this slot and lose every later file.
    if (sNewName.empty())
        throw "invalid new name (\"" + sNewName + "\")";
    oFile.rename(sNewName);
    printInfo("Renaming to " + sNewName);
    oFs.writeFat();
}

void writeFile(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cCmdLineParameter& oOption = oCmdLine.getParameter("--write");
    cMtdDevice oDevice(sDevicePath);
    cTinyFs oFs(oDevice);
    cTinyFsFile& oFile = oFs.find(oOption.getValue());
    cLocalFile oLocal(oOption.getValue2(), O_RDONLY);
    cLocalSource oSource(oLocal, oFile.getCapacity());
    {
        cProgress oProgress(oFile.getName(), oSource.length());
        oFile.rewrite(
            oSource.length(), [&](uint8_t* pDest, uint32_t iCount) { oSource.fill(pDest, iCount); },
            oProgress.reporter());
    }
    // Bytes beyond the measured length never reach the flash, and the table keeps
    // describing the old contents.
    oSource.requireEnd();
    oFs.writeFat();
}
