// Measuring the local file and reading it no further than measured.
#include "tool/cLocalSource.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "tinyfs/layout.h"

namespace {

// The file systems whose files are made up when read (statfs types).
constexpr unsigned long PROC_SUPER_MAGIC = 0x9fa0;
constexpr unsigned long SYSFS_MAGIC = 0x62656572;

} // namespace

cLocalSource::cLocalSource(cLocalFile& oFile, uint32_t iRoom) : oFile(oFile) {
    struct stat oStat;
    struct statfs oFs;
    if (::fstat(oFile.get(), &oStat) != 0 || ::fstatfs(oFile.get(), &oFs) != 0)
        throw std::string("seek error");
    const unsigned long iType = static_cast<unsigned long>(oFs.f_type);
    if (S_ISREG(oStat.st_mode) && iType != PROC_SUPER_MAGIC && iType != SYSFS_MAGIC) {
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
