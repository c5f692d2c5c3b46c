// Opening, measuring and reading the inputs of mktinyfs.
#include "host/mktinyfs/cInputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/hexText.h"
#include "tinyfs/layout.h"

cInputFile::cInputFile(const std::string& sPath)
    : sPath(sPath), oFile(::open(sPath.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat oStat {};
    if (oFile.iFd < 0 || ::fstat(oFile.iFd, &oStat) != 0)
        fail();
    // Files generated as they are read report 0 bytes (/proc) or a stand-in size without
    // any disk block (/sys). A small file without blocks costs little to read first.
    const bool bStandIn = oStat.st_blocks == 0 && uint64_t(oStat.st_size) <= PIECE_SIZE;
    bMeasured = S_ISREG(oStat.st_mode) && oStat.st_size > 0 && !bStandIn;
    iSize = bMeasured ? uint64_t(oStat.st_size) : 0;
}

void cInputFile::readAhead(uint64_t iHeldBefore) {
    // Together the inputs never hold more than the device: no image could take more.
    const uint64_t iLimit = DEVICE_SIZE - std::min<uint64_t>(iHeldBefore, DEVICE_SIZE);
    for (;;) {
        std::vector<uint8_t> lBlock(PIECE_SIZE);
        const size_t iGot = readSome(lBlock.data(), lBlock.size());
        iSize += iGot;
        if (iSize > iLimit)
            throw quoteForMessage(sPath) +
                (iHeldBefore == 0
                     ? " is larger than the device ("
                     : " and the inputs of unknown length before it hold more than the device (") +
                hexNumber(DEVICE_SIZE) + " bytes)";
        if (iGot == 0)
            return;
        lBlock.resize(iGot);
        lHeld.push_back(std::move(lBlock));
        if (iGot < PIECE_SIZE)
            return;
    }
}

void cInputFile::readExactly(uint8_t* pTo, size_t iLength) {
    if (!bMeasured) {
        // Every held block but the last is full; each is let go once delivered.
        while (iLength > 0 && iDelivered < iSize) {
            std::vector<uint8_t>& lBlock = lHeld[iDelivered / PIECE_SIZE];
            const size_t iAt = iDelivered % PIECE_SIZE;
            const size_t iPiece = std::min(iLength, lBlock.size() - iAt);
            std::memcpy(pTo, lBlock.data() + iAt, iPiece);
            pTo += iPiece;
            iLength -= iPiece;
            iDelivered += iPiece;
            if (iAt + iPiece == lBlock.size())
                std::vector<uint8_t>().swap(lBlock);
        }
        return;
    }
    const size_t iGot = readSome(pTo, iLength);
    iDelivered += iGot;
    uint8_t iMore = 0;
    if (iGot < iLength || (iDelivered == iSize && readSome(&iMore, 1) != 0))
        throw quoteForMessage(sPath) + " changed size while it was read (" + hexNumber(iSize) +
            " bytes when opened)";
}

std::string cInputFile::readWhole(size_t iLimit, const char* sLimit) {
    std::string sText(iLimit + 1, '\0');
    const size_t iGot = readSome(reinterpret_cast<uint8_t*>(sText.data()), sText.size());
    if (iGot > iLimit)
        throw quoteForMessage(sPath) + " is larger than " + sLimit;
    sText.resize(iGot);
    return sText;
}

void cInputFile::fail() const {
    throw "cannot read " + quoteForMessage(sPath) + ": " + std::strerror(errno);
}

size_t cInputFile::readSome(uint8_t* pTo, size_t iLength) {
    const ssize_t iGot = readAll(oFile.iFd, pTo, iLength);
    if (iGot < 0)
        fail();
    return size_t(iGot);
}
