// Mounting, lookup, FAT write-back and the consistency checks of a tinyfs image.
#include "tinyfs/cTinyFs.h"

#include <algorithm>
#include <cstdio>

#include "tinyfs/crc16.h"

namespace {

// Contents are checksummed in pieces of this many pages, so a check holds one piece,
// not one file.
constexpr uint32_t VERIFY_PIECE = 64 * PAGE_SIZE;
constexpr uint32_t FAT_FRAME_SLOTS = 2; // the header and the end slot

std::string toHexText(uint32_t iValue) {
    char aDigits[sizeof iValue * 2 + 1];
    std::snprintf(aDigits, sizeof aDigits, "%x", unsigned(iValue));
    return aDigits;
}

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
    std::vector<uint8_t> lFat(FAT_SIZE);
    pDevice.read(FAT_OFFSET, lFat.data(), FAT_SIZE);
    if (loadLe32(lFat.data() + HEADER_MAGIC_POS) != TINYFS_MAGIC)
        throw std::string("invalid image");

    for (uint32_t iSlot = 1; iSlot < FAT_SLOTS; ++iSlot) {
        const uint8_t* pSlot = lFat.data() + iSlot * FAT_SLOT_SIZE;
        if (pSlot[SLOT_NAME_POS] == 0)
            break;
        const cFatSlot oSlot = decodeSlot(pSlot);
        lFiles.emplace_back(*this, oSlot.sName, oSlot.iOffset, oSlot.iSize, oSlot.iFlags, oSlot.iLoadAddress);
        ++iFatSlots;
    }
    if (iFatSlots != 0)
        iFatSlots += FAT_FRAME_SLOTS;
}

uint32_t cTinyFs::getCapacity(const cTinyFsFile& oEntry, bool bBootTime) const {
    // The distance to the nearest file that starts after this one, else to the device
    // end. The comparisons of a distance with the capacity so far are signed, as the
    // images in the field were checked with.
    uint32_t iCap = pDevice->getSize() - oEntry.getOffset();
    bool bFollower = false;
    for (const cTinyFsFile& oOther : lFiles) {
        if (&oOther == &oEntry || !(oOther.getOffset() > oEntry.getOffset()))
            continue;
        const uint32_t iDistance = oOther.getOffset() - oEntry.getOffset();
        if (!bFollower || int32_t(iDistance) < int32_t(iCap))
            iCap = iDistance;
        bFollower = true;
    }
    if (bBootTime && oEntry.hasLoadAddress()) {
        for (const cTinyFsFile& oOther : lFiles) {
            if (&oOther == &oEntry || !(oOther.getLoadAddress() > oEntry.getLoadAddress()))
                continue;
            const uint32_t iDistance = oOther.getLoadAddress() - oEntry.getLoadAddress();
            if (int32_t(iDistance) <= int32_t(iCap))
                iCap = iDistance;
        }
    }
    return iCap;
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
    throw "file entry not found (\"" + sName + "\")";
}

void cTinyFs::writeFat() {
    std::vector<uint8_t> lFat(FAT_SIZE);
    initFatArea(lFat.data());
    uint32_t iSlot = 1;
    for (const cTinyFsFile& oFile : lFiles) {
        if (iSlot >= iFatSlots - 1)
            throw std::string("too many files in FAT");
        encodeSlot(lFat.data() + iSlot * FAT_SLOT_SIZE, {oFile.getName(), oFile.getFlags(), oFile.getOffset(),
                                                         oFile.getSize(), oFile.getLoadAddress()});
        ++iSlot;
    }
    const uint32_t iLength = std::min<uint64_t>(uint64_t(iFatSlots) * FAT_SLOT_SIZE, FAT_SIZE);
    pDevice->write(FAT_OFFSET, lFat.data(), iLength);
}

void cTinyFs::verifyChecksum(const cTinyFsFile& oEntry, const tProgress& fProgress) {
    oEntry.requireInsideDevice();
    const uint32_t iSize = oEntry.getSize();
    std::vector<uint8_t> lPiece(std::min(iSize, VERIFY_PIECE));
    uint16_t iComputed = 0;
    for (uint32_t iDone = 0; iDone < iSize;) {
        const uint32_t iPos = oEntry.getOffset() + iDone;
        const uint32_t iPiece = pieceLength(iPos, iSize - iDone, VERIFY_PIECE);
        pDevice->read(iPos, lPiece.data(), iPiece);
        iComputed = crc16Update(lPiece.data(), iPiece, iDone == 0 ? CRC16_START : iComputed);
        iDone += iPiece;
        if (fProgress)
            fProgress(iDone);
    }
    const uint16_t iStored = oEntry.getChecksum();
    if (iComputed != iStored)
        throw "CheckSum error: 0x" + toHexText(iComputed) + " != 0x" + toHexText(iStored) + "!";
}

void cTinyFs::checkIntegrity(bool bBootTime) const {
    for (const cTinyFsFile& oFile : lFiles) {
        if (oFile.getSize() > getCapacity(oFile, bBootTime))
            throw "Filesystem corrupt: File \"" + oFile.getName() + "\" too big!";
    }
}
