// File entries: capacity figures and in-place content transfers.
#include "tinyfs/cTinyFsFile.h"

#include <vector>

#include "tinyfs/cTinyFs.h"
#include "tinyfs/crc16.h"

cTinyFsFile::cTinyFsFile(cTinyFs& pFs, const std::string& sName, uint32_t iOffset, uint32_t iFileSize,
                         uint32_t iFlags, uint32_t iLoadAddress)
    : pFs(&pFs), sName(sName), iOffset(iOffset), iFileSize(iFileSize), iFlags(iFlags),
      iLoadAddress(iLoadAddress) {}

uint32_t cTinyFsFile::getUsagePercent() const {
    const uint32_t iCapacity = getCapacity();
    if (iCapacity == 0)
        return PERCENT;
    return iFileSize * PERCENT / iCapacity;
}

bool cTinyFsFile::fitsDevice() const {
    return uint64_t(iOffset) + iFileSize <= pFs->getDevice().getSize();
}

void cTinyFsFile::requireInsideDevice() const {
    if (!fitsDevice())
        throw "file exceeds device (\"" + sName + "\")";
}

uint16_t cTinyFsFile::read(uint8_t* pDest, uint32_t iSize, const tProgress& fProgress) const {
    if (iSize > iFileSize)
        throw std::string("*** BUG in cTinyFsFile::read: iSize too big!");
    std::vector<uint8_t> lPiece(pDest ? 0 : std::min(iSize, PIECE_SIZE));
    uint16_t iCrc = CRC16_START;
    for (uint32_t iDone = 0; iDone < iSize;) {
        const uint32_t iPiece = pieceLength(iOffset + iDone, iSize - iDone);
        uint8_t* pTo = pDest ? pDest + iDone : lPiece.data();
        pFs->getDevice().read(iOffset + iDone, pTo, iPiece);
        iCrc = crc16Update(pTo, iPiece, iCrc);
        iDone += iPiece;
        if (fProgress)
            fProgress(iDone);
    }
    return iSize == 0 ? crc16(nullptr, 0) : iCrc;
}

void cTinyFsFile::patch(const uint8_t* pSource, uint32_t iSize) {
    if (iSize > iFileSize)
        throw std::string("*** BUG in cTinyFsFile::patch: iSize too big!");
    pFs->getDevice().write(iOffset, pSource, iSize);
}

void cTinyFsFile::rewrite(uint64_t iLength, const tFill& fFill, const tProgress& fProgress) {
    // An inconsistent table can give a file room past the device end (a far follower wins
    // the capacity rule's signed comparison); such contents would be cut off by the device
    // end after the first pieces were already programmed.
    const uint32_t iDeviceSize = pFs->getDevice().getSize();
    const bool bPastDeviceEnd = iOffset <= iDeviceSize && iOffset + iLength > iDeviceSize;
    if (iLength > getCapacity() || bPastDeviceEnd)
        throw std::string("file to big (filesystem unchanged)");
    std::vector<uint8_t> lPiece(size_t(std::min<uint64_t>(iLength, PIECE_SIZE)));
    iFileSize = 0;
    uint16_t iRunning = CRC16_START;
    while (iFileSize < iLength) {
        const uint32_t iPiece = pieceLength(iOffset + iFileSize, iLength - iFileSize);
        fFill(lPiece.data(), iPiece);
        pFs->getDevice().write(iOffset + iFileSize, lPiece.data(), iPiece);
        iFileSize += iPiece;
        iRunning = crc16Update(lPiece.data(), iPiece, iRunning);
        if (fProgress)
            fProgress(iFileSize);
    }
    // Zero bytes are recorded with the checksum every reader computes for them.
    setChecksum(isEmpty() ? crc16(nullptr, 0) : iRunning);
}
