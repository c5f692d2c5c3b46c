// Mounting, lookup, FAT write-back and the consistency checks of a tinyfs image.
#include "tinyfs/cTinyFs.h"

#include <memory>

#include "tinyfs/fatTable.h"
#include "tinyfs/hexText.h"

namespace {

// The number after "%" as formatted input reads an unsigned int: blanks skipped, one
// optional sign (a minus wraps around), the digits up to the first other character, at
// most 32 bits.
bool parsePosition(const std::string& sText, uint32_t& iPosition) {
    size_t i = sText.find_first_not_of(" \t\n\v\f\r");
    const bool bNegative = i != std::string::npos && sText[i] == '-';
    if (i != std::string::npos && (bNegative || sText[i] == '+'))
        ++i;
    uint64_t iValue = 0;
    const size_t iFirstDigit = i;
    for (; i < sText.size() && sText[i] >= '0' && sText[i] <= '9'; ++i) {
        iValue = iValue * 10 + uint32_t(sText[i] - '0');
        if (iValue > UINT32_MAX)
            return false;
    }
    iPosition = bNegative ? 0u - uint32_t(iValue) : uint32_t(iValue);
    return iFirstDigit != std::string::npos && i > iFirstDigit;
}

} // namespace

cTinyFs::cTinyFs(cMtdDevice& pDevice) : pDevice(&pDevice) {
    // Not cleared first: the read fills every byte or fails.
    const std::unique_ptr<uint8_t[]> pFat(new uint8_t[FAT_SIZE]);
    pDevice.read(FAT_OFFSET, pFat.get(), FAT_SIZE);
    const cFatTable oTable = readFatTable(pFat.get());
    if (!oTable.bValidHeader)
        throw std::string("invalid image");
    if (!oTable.lStrays.empty()) {
        iStraySlot = oTable.lStrays.front().iSlot;
        sStrayName = oTable.lStrays.front().oEntry.sName;
    }
    lFiles.reserve(oTable.lEntries.size());
    for (const cTableEntry& oRead : oTable.lEntries) {
        const cFatSlot& oSlot = oRead.oEntry;
        lFiles.emplace_back(pDevice, oSlot.sName, oSlot.iOffset, oSlot.iSize, oSlot.iFlags,
                            oSlot.iLoadAddress);
        lFiles.back().setCapacities(*oRead.iMediaRoom, *oRead.iBootRoom);
    }
}

cTinyFsFile& cTinyFs::find(const std::string& sName) {
    uint32_t iPosition = 0;
    if (sName.size() >= 2 && sName[0] == '%' && parsePosition(sName.substr(1), iPosition) &&
        iPosition < lFiles.size())
        return lFiles[iPosition];
    for (cTinyFsFile& oFile : lFiles) {
        if (oFile.getName() == sName)
            return oFile;
    }
    throw "file entry not found (\"" + shownName(sName) + "\")";
}

void cTinyFs::writeFat() {
    // A table loaded without entries is left as it was.
    if (lFiles.empty())
        return;
    std::vector<cFatSlot> lEntries;
    lEntries.reserve(lFiles.size());
    for (const cTinyFsFile& oFile : lFiles)
        lEntries.push_back(
            {oFile.getName(), oFile.getFlags(), oFile.getOffset(), oFile.getSize(), oFile.getLoadAddress()});
    const std::vector<uint8_t> lFat = layOutFat(lEntries);
    pDevice->write(FAT_OFFSET, lFat.data(), uint32_t(lFat.size()));
}

void cTinyFs::verifyChecksum(const cTinyFsFile& oEntry, const tProgress& fProgress) {
    oEntry.requireInsideDevice();
    const uint16_t iComputed = oEntry.read(nullptr, oEntry.getSize(), fProgress);
    const uint16_t iStored = oEntry.getChecksum();
    if (iComputed != iStored)
        throw "CheckSum error: " + hexNumber(iComputed) + " != " + hexNumber(iStored) + "!";
}

void cTinyFs::checkTableEnd() const {
    if (iStraySlot != 0)
        throw "Filesystem corrupt: table ends at slot " + std::to_string(lFiles.size() + 1) + ", but slot " +
            std::to_string(iStraySlot) + " holds file \"" + shownName(sStrayName) + "\"";
}

void cTinyFs::checkIntegrity(bool bBootTime) const {
    for (const cTinyFsFile& oFile : lFiles) {
        if (oFile.getSize() > oFile.getCapacity(bBootTime))
            throw "Filesystem corrupt: File \"" + shownName(oFile.getName()) + "\" too big!";
    }
}
