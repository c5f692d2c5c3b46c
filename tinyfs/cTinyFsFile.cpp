// File entries: capacity figures and in-place content transfers.
#include "tinyfs/cTinyFsFile.h"

#include <vector>

#include "tinyfs/crc16.h"
#include "tinyfs/hexText.h"

cTinyFsFile::cTinyFsFile(cMtdDevice& pDevice, const std::string& sName, uint32_t iOffset, uint32_t iFileSize,
                         uint32_t iFlags, uint32_t iLoadAddress)
    : pDevice(&pDevice), sName(sName), iOffset(iOffset), iFileSize(iFileSize), iFlags(iFlags),
      iLoadAddress(iLoadAddress) {}

uint32_t cTinyFsFile::getUsagePercent() const {
    const uint32_t iCapacity = getCapacity();
    if (iCapacity == 0)
        return PERCENT;
    return iFileSize * PERCENT / iCapacity;
}

bool cTinyFsFile::fitsDevice() const {
    return uint64_t(iOffset) + iFileSize <= pDevice->getSize();
}

void cTinyFsFile::requireInsideDevice() const {
    if (!fitsDevice())
        throw "file exceeds device (\"" + shownName(sName) + "\")";
}

uint16_t cTinyFsFile::read(uint8_t* pDest, uint32_t iSize, const tProgress& fProgress) const {
    if (iSize > iFileSize)
        throw std::string("*** BUG in cTinyFsFile::read: iSize too big!");
    std::vector<uint8_t> lPiece(pDest ? 0 : std::min(iSize, PIECE_SIZE));
    cCrc16Stream oCrc;
    for (uint32_t iDone = 0; iDone < iSize;) {
        const uint32_t iPiece = pieceLength(iOffset + iDone, iSize - iDone);
        uint8_t* pTo = pDest ? pDest + iDone : lPiece.data();
        pDevice->read(iOffset + iDone, pTo, iPiece);
        oCrc.add(pTo, iPiece);
        iDone += iPiece;
        if (fProgress)
            fProgress(iDone);
    }
    return oCrc.finish();
}

void cTinyFsFile::patch(const uint8_t* pSource, uint32_t iSize) {
    if (iSize > iFileSize)
        throw std::string("*** BUG in cTinyFsFile::patch: iSize too big!");
    pDevice->write(iOffset, pSource, iSize);
}

void cTinyFsFile::rewrite(uint64_t iLength, const tFill& fFill, const tProgress& fProgress) {
    // An inconsistent table can give a file room past the device end (a far follower wins
    // the capacity rule's signed comparison); such contents would be cut off by the device
    // end after the first pieces were already programmed.
    const uint32_t iDeviceSize = pDevice->getSize();
    const bool bPastDeviceEnd = iOffset <= iDeviceSize && iOffset + iLength > iDeviceSize;
    if (iLength > getCapacity() || bPastDeviceEnd)
        throw std::string("file to big (filesystem unchanged)");
    std::vector<uint8_t> lPiece(size_t(std::min<uint64_t>(iLength, PIECE_SIZE)));
    iFileSize = 0;
    cCrc16Stream oCrc;
    while (iFileSize < iLength) {
        const uint32_t iPiece = pieceLength(iOffset + iFileSize, iLength - iFileSize);
        fFill(lPiece.data(), iPiece);
        pDevice->write(iOffset + iFileSize, lPiece.data(), iPiece);
        iFileSize += iPiece;
        oCrc.add(lPiece.data(), iPiece);
        if (fProgress)
            fProgress(iFileSize);
    }
    setChecksum(oCrc.finish());
}
