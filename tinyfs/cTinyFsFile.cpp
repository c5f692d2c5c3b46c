// File entries: capacity figures and in-place content transfers.
#include "tinyfs/cTinyFsFile.h"

#include "tinyfs/cTinyFs.h"

namespace {
// Contents are moved in pieces of this many pages: few system calls, bounded time
// between progress reports.
constexpr uint32_t READ_PIECE = 64 * PAGE_SIZE;
constexpr uint32_t PERCENT = 100;
} // namespace

cTinyFsFile::cTinyFsFile(cTinyFs& pFs, const std::string& sName, uint32_t iOffset, uint32_t iFileSize,
                         uint32_t iFlags, uint32_t iLoadAddress)
    : pFs(&pFs), sName(sName), iOffset(iOffset), iFileSize(iFileSize), iFlags(iFlags),
      iLoadAddress(iLoadAddress) {}

uint32_t cTinyFsFile::getCapacity() const {
    return pFs->getCapacity(*this, true);
}

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

void cTinyFsFile::read(uint8_t* pDest, uint32_t iSize, const tProgress& fProgress) const {
    if (iSize > iFileSize)
        throw std::string("*** BUG in cTinyFsFile::read: iSize too big!");
    cMtdDevice& oDevice = pFs->getDevice();
    for (uint32_t iDone = 0; iDone < iSize;) {
        const uint32_t iPiece = pieceLength(iOffset + iDone, iSize - iDone, READ_PIECE);
        oDevice.read(iOffset + iDone, pDest + iDone, iPiece);
        iDone += iPiece;
        if (fProgress)
            fProgress(iDone);
    }
}

void cTinyFsFile::patch(const uint8_t* pSource, uint32_t iSize) {
    if (iSize > iFileSize)
        throw std::string("*** BUG in cTinyFsFile::patch: iSize too big!");
    pFs->getDevice().write(iOffset, pSource, iSize);
}

void cTinyFsFile::append(const uint8_t* pSource, uint32_t iCount) {
    if (uint64_t(iFileSize) + iCount > getCapacity())
        throw std::string("no space left for file");
    pFs->getDevice().write(iOffset + iFileSize, pSource, iCount);
    iFileSize += iCount;
}
