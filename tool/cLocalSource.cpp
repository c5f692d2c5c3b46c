// Measuring the local file and reading it no further than measured.
#include "tool/cLocalSource.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "tinyfs/layout.h"

cLocalSource::cLocalSource(cLocalFile& oFile) : oFile(oFile) {
    if (!oFile.isOpen())
        return;
    if (::fstat(oFile.get(), &oStat) != 0 || S_ISFIFO(oStat.st_mode) || S_ISSOCK(oStat.st_mode))
        throw std::string("seek error");
}

void cLocalSource::measure(uint32_t iRoom) {
    oFile.requireOpen();
    if (S_ISREG(oStat.st_mode) && oStat.st_size != 0 && oStat.st_blocks != 0) {
        iLength = uint64_t(oStat.st_size);
    } else if (S_ISREG(oStat.st_mode)) {
        lHeld.resize(size_t(std::min(iRoom, DEVICE_SIZE)) + 1); // no file holds more than the device
        const ssize_t iGot = oFile.read(lHeld.data(), lHeld.size());
        if (iGot < 0)
            throw std::string("unable to read data");
        lHeld.resize(size_t(iGot));
        iLength = lHeld.size();
        bHeld = true;
    } else {
        const off_t iEnd = ::lseek(oFile.get(), 0, SEEK_END);
        if (iEnd < 0 || ::lseek(oFile.get(), 0, SEEK_SET) != 0)
            throw std::string("seek error");
        iLength = uint64_t(iEnd);
    }
}

std::string cLocalSource::measured(const char* sComparison) const {
    return std::string("local file has ") + sComparison + " than its measured " + std::to_string(iLength) +
           " bytes (" + oFile.path() + ")";
}

void cLocalSource::fill(uint8_t* pDest, uint32_t iCount) {
    if (bHeld) {
        std::memcpy(pDest, lHeld.data() + iDone, iCount);
    } else {
        const ssize_t iGot = oFile.read(pDest, iCount);
        if (iGot < 0)
            throw std::string("unable to read data");
        if (size_t(iGot) < iCount)
            throw measured("fewer");
    }
    iDone += iCount;
}

void cLocalSource::requireEnd() {
    uint8_t iByte = 0;
    const ssize_t iGot = bHeld ? 0 : oFile.read(&iByte, 1);
    if (iGot < 0)
        throw std::string("unable to read data");
    if (iGot > 0)
        throw measured("more");
}
