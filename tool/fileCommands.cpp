// The commands on files of the image: list, exists, read, read to standard output,
// rename and write.
#include <cstdlib>
#include <sys/types.h>
#include <vector>

#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"
#include "tinyfs/crc16.h"
#include "tool/cLocalFile.h"
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
constexpr uint32_t PERCENT = 100;

// "--write" streams the local file through a buffer of this many pages. Each block
// after the first starts on a page boundary, so no page is programmed twice.
constexpr uint32_t WRITE_PIECE = 8 * PAGE_SIZE;

std::string flagText(const cTinyFsFile& oFile) {
    std::string sFlags;
    if (oFile.hasLoadAddress())
        sFlags += "L(0x" + toHex(oFile.getLoadAddress(), 0) + ")";
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
        sLine += "Sum: 0x" + toHex(oFile.getChecksum(), CHECKSUM_COLUMN) + " | " +
                 padRight(flagText(oFile), FLAGS_COLUMN) + " | ";
    return sLine + padRight(toDec(PERCENT - oFile.getUsagePercent(), 0) + "% growable", GROWABLE_COLUMN) +
           " (" + toDec(oFile.getBytesLeft(), 0) + " bytes left)";
}

// Reads a whole file for copying out, and applies the checksum rule: a mismatch ends
// the run unless "--force" lets the contents through.
std::vector<uint8_t> readChecked(cCmdLine& oCmdLine, const cTinyFsFile& oFile, uint32_t iExtra) {
    oFile.requireInsideDevice();
    const uint32_t iSize = oFile.getSize();
    std::vector<uint8_t> lContents(size_t(iSize) + iExtra);
    {
        cProgress oProgress(oFile.getName(), iSize);
        oFile.read(lContents.data(), iSize, oProgress.reporter());
    }
    if (crc16(lContents.data(), iSize) != oFile.getChecksum()) {
        if (!oCmdLine.getParameter("--force").isPresent())
            fatal("Checksum error would produce invalid output (use --force to write nevertheless)");
        printInfo("Checksum error (invalid output produced!)");
    }
    return lContents;
}

} // namespace

void listFiles(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cMtdDevice oDevice(sDevicePath);
    cTinyFs oFs(oDevice);
    const bool bVerbose = oCmdLine.getParameter("--verbose").isPresent();
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        printPlain(listingLine(oFile, bVerbose));
        if (oFile.getSize() > oFile.getCapacity())
            fatal("File system corrupt! (" + oFile.getName() + ")");
    }
}

void testExists(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cMtdDevice oDevice(sDevicePath);
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
    cMtdDevice oDevice(sDevicePath);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find(oOption.getValue());
    const std::vector<uint8_t> lContents = readChecked(oCmdLine, oFile, 0);

    cLocalFile oLocal(oOption.getValue2(), "w+");
    // The stream may hold the data until it is closed, so a full disk can show only
    // then.
    // An empty file has no buffer to hand over; the C library wants a real one.
    const bool bWritten = lContents.empty() || std::fwrite(lContents.data(), 1, lContents.size(),
                                                           oLocal.get()) == lContents.size();
    if (!bWritten || !oLocal.close())
        throw std::string("unable to write data");
}

void readFileToStdout(cCmdLine& oCmdLine, const std::string& sDevicePath) {
    cMtdDevice oDevice(sDevicePath);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find(oCmdLine.getParameter("--read-stdout").getValue());
    std::vector<uint8_t> lContents = readChecked(oCmdLine, oFile, 1);

    // Written as a zero-terminated text: output stops at the first zero byte.
    lContents.back() = 0;
    printText(reinterpret_cast<const char*>(lContents.data()));
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

    cLocalFile oLocal(oOption.getValue2(), "rb");
    if (fseeko(oLocal.get(), 0, SEEK_END) != 0)
        throw std::string("seek error");
    const off_t iLength = ftello(oLocal.get());
    // A failing return to the start would leave the contents unread: check it.
    if (iLength < 0 || fseeko(oLocal.get(), 0, SEEK_SET) != 0)
        throw std::string("seek error");
    // An inconsistent table can give a file room past the device end (a far follower wins
    // the capacity rule's signed comparison); such contents would be cut off by the device
    // end after the first blocks were already programmed.
    const bool bPastDeviceEnd = oFile.getOffset() <= oDevice.getSize() &&
                                uint64_t(oFile.getOffset()) + uint64_t(iLength) > oDevice.getSize();
    if (uint64_t(iLength) > oFile.getCapacity() || bPastDeviceEnd)
        throw std::string("file to big (filesystem unchanged)");

    std::vector<uint8_t> lBlock(WRITE_PIECE);
    cProgress oProgress(oFile.getName(), uint64_t(iLength));
    oFile.clear();
    uint16_t iRunning = CRC16_START;
    for (;;) {
        const uint32_t iWant = pieceLength(oFile.getOffset() + oFile.getSize(), WRITE_PIECE, WRITE_PIECE);
        const size_t iGot = std::fread(lBlock.data(), 1, iWant, oLocal.get());
        if (std::ferror(oLocal.get()))
            throw std::string("unable to read data");
        if (iGot == 0)
            break;
        oFile.append(lBlock.data(), uint32_t(iGot));
        iRunning = crc16Update(lBlock.data(), iGot, iRunning);
        oProgress.update(oFile.getSize());
    }
    // Zero bytes are recorded with the checksum every reader computes for them.
    oFile.setChecksum(oFile.isEmpty() ? crc16(nullptr, 0) : iRunning);
    oFs.writeFat();
}
