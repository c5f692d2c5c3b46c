// Page transfers on the device node and the byte-addressed reads and writes built on
// them.
//
// The node is never erased or asked anything but, for a loop device, which file it shows
// (deviceIdentity): a whole page written at a page-aligned position replaces that page,
// and a read at page * PAGE_SIZE returns the bytes last written there.
#include "tinyfs/cMtdDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "tinyfs/hexText.h"

cMtdDevice::cMtdDevice(const std::string& sPath, tLock iLock)
    : oFile(::open(sPath.c_str(), O_RDWR)), lPages(PAGE_SIZE) {
    if (oFile.iFd < 0)
        throw std::string("unable to open device");
    lockOpened(sPath, iLock);
}

cMtdDevice::cMtdDevice(int iOpenFd, const std::string& sPath, tLock iLock)
    : oFile(iOpenFd), lPages(PAGE_SIZE) {
    lockOpened(sPath, iLock);
}

void cMtdDevice::lockOpened(const std::string& sPath, tLock iLock) {
    if (!identifyDevice(oFile.iFd, oDevice))
        throw std::string("unable to open device");
    oLock.emplace(oFile.iFd, oDevice.oNode, sPath, iLock);
}

void cMtdDevice::fail(const char* sProblem, int iReason) {
    iError = iReason;
    throw std::string(sProblem);
}

bool cMtdDevice::isSameFile(const std::string& sPath) const {
    struct stat oOther;
    return ::stat(sPath.c_str(), &oOther) == 0 &&
           ::aliasOf(oDevice, oOther, isOnOverlay(sPath)) == ALIAS_SAME;
}

tAlias cMtdDevice::aliasOf(int iOther) const {
    struct stat oOther;
    // A file that cannot be looked at cannot be told apart from the device.
    return ::fstat(iOther, &oOther) == 0 ? ::aliasOf(oDevice, oOther, isOnOverlay(iOther)) : ALIAS_SAME;
}

tAlias cMtdDevice::aliasOf(const struct stat& oOther) const {
    return ::aliasOf(oDevice, oOther);
}

uint64_t cMtdDevice::measure() {
    iPosition = -1;
    const off_t iEnd = ::lseek(oFile.iFd, 0, SEEK_END);
    if (iEnd < 0)
        fail("invalid seek", errno);
    return uint64_t(iEnd);
}

void cMtdDevice::sync() {
    // EINVAL: the node keeps no cache to sync (an MTD character device).
    if (::fsync(oFile.iFd) != 0 && errno != EINVAL)
        fail("unable to sync", errno);
}

void cMtdDevice::seekPage(int32_t iPage) {
    const off_t iPos = off_t(iPage) * PAGE_SIZE;
    if (iPage < 0 || iPage >= PAGE_COUNT) {
        iPosition = -1;
        fail("invalid seek", ESPIPE);
    }
    if (iPos != iPosition) {
        iPosition = -1;
        const off_t iReached = ::lseek(oFile.iFd, iPos, SEEK_SET);
        if (iReached != iPos)
            fail("invalid seek", iReached < 0 ? errno : ESPIPE);
    }
    iPosition = iPos;
}

void cMtdDevice::readPages(int32_t iPage, uint8_t* pDest, int32_t iCount) {
    seekPage(iPage);
    if (iCount < 0 || iCount > PAGE_COUNT - iPage)
        fail("incomplete read", EIO);
    const size_t iBytes = size_t(iCount) * PAGE_SIZE;
    const ssize_t iDone = ::read(oFile.iFd, pDest, iBytes);
    iPosition = size_t(iDone) == iBytes ? iPosition + iDone : -1;
    if (iDone < 0)
        fail("unable to read", errno);
    if (size_t(iDone) != iBytes)
        fail("incomplete read", EIO);
}

void cMtdDevice::writePages(int32_t iPage, const uint8_t* pSource, int32_t iCount) {
    seekPage(iPage);
    if (iCount < 0 || iCount > PAGE_COUNT - iPage)
        fail("incomplete write", EIO);
    const size_t iBytes = size_t(iCount) * PAGE_SIZE;
    if (fBeforeProgram)
        fBeforeProgram();
    const ssize_t iDone = ::write(oFile.iFd, pSource, iBytes);
    iPosition = size_t(iDone) == iBytes ? iPosition + iDone : -1;
    if (iDone > 0)
        iProgrammed += uint64_t(iDone);
    if (iDone < 0)
        fail("unable to write", errno);
    if (size_t(iDone) != iBytes)
        fail("incomplete write", EIO);
}

void cMtdDevice::programPages(int32_t iPage, const uint8_t* pSource, const uint8_t* pOld, int32_t iCount,
                              bool bLastRun) {
    writePages(iPage, pSource, iCount);
    verifyPages(iPage, pSource, pOld, iCount, bLastRun);
}

void cMtdDevice::verifyPages(int32_t iPage, const uint8_t* pMeant, const uint8_t* pOld, int32_t iCount,
                             bool bLastRun) {
    lReadBack.resize(size_t(iCount) * PAGE_SIZE);
    bUnverified = bLastRun; // until the pages are read back
    readPages(iPage, lReadBack.data(), iCount);
    bUnverified = false;
    if (std::memcmp(lReadBack.data(), pMeant, lReadBack.size()) == 0)
        return; // the common case, at memory speed; only a failure looks for the byte
    // A flash that took nothing (write-protected, a driver that drops writes) still holds
    // what it held.
    if (std::memcmp(lReadBack.data(), pOld, lReadBack.size()) == 0)
        iProgrammed -= lReadBack.size();
    const auto oFirst = std::mismatch(lReadBack.begin(), lReadBack.end(), pMeant);
    const uint32_t iByte = uint32_t(iPage) * PAGE_SIZE + uint32_t(oFirst.first - lReadBack.begin());
    throw "flash did not take the write at byte " + hexNumber(iByte) + " (page " +
        std::to_string(iByte / PAGE_SIZE) + ")";
}

void cMtdDevice::checkRange(uint32_t iOffset, uint32_t iLength, bool bWrite) {
    // A transfer runs as head page, whole pages, tail page; the first of these to reach
    // past the last page decides the message.
    int64_t iPage = iOffset / PAGE_SIZE;
    const uint32_t iWithin = iOffset % PAGE_SIZE;
    int64_t iRest = iLength;
    if (iWithin != 0) {
        if (iPage >= PAGE_COUNT)
            fail("invalid seek", ESPIPE);
        iRest -= std::min<int64_t>(PAGE_SIZE - iWithin, iRest);
        ++iPage;
    }
    const int64_t iWhole = iRest / PAGE_SIZE;
    if (iWhole > 0) {
        if (iPage >= PAGE_COUNT)
            fail("invalid seek", ESPIPE);
        if (iPage + iWhole > PAGE_COUNT)
            fail(bWrite ? "incomplete write" : "incomplete read", EIO);
        iPage += iWhole;
        iRest -= iWhole * PAGE_SIZE;
    }
    if (iRest > 0 && iPage >= PAGE_COUNT)
        fail("invalid seek", ESPIPE);
}

void cMtdDevice::read(uint32_t iOffset, uint8_t* pDest, uint32_t iLength) {
    checkRange(iOffset, iLength, false);
    int32_t iPage = int32_t(iOffset / PAGE_SIZE);
    const uint32_t iWithin = iOffset % PAGE_SIZE;
    if (iWithin != 0) {
        const uint32_t iTake = std::min(PAGE_SIZE - iWithin, iLength);
        readPages(iPage, lPages.data(), 1);
        std::memcpy(pDest, lPages.data() + iWithin, iTake);
        pDest += iTake;
        iLength -= iTake;
        ++iPage;
    }
    const int32_t iWhole = int32_t(iLength / PAGE_SIZE);
    if (iWhole > 0) {
        readPages(iPage, pDest, iWhole);
        iPage += iWhole;
        pDest += size_t(iWhole) * PAGE_SIZE;
        iLength -= uint32_t(iWhole) * PAGE_SIZE;
    }
    if (iLength > 0) {
        readPages(iPage, lPages.data(), 1);
        std::memcpy(pDest, lPages.data(), iLength);
    }
}

void cMtdDevice::write(uint32_t iOffset, const uint8_t* pSource, uint32_t iLength) {
    if (iLength == 0)
        return; // nothing can change
    checkRange(iOffset, iLength, true);
    bUnverified = false;

    // Read every covered page once, patch in the new bytes, and program each run of
    // pages that actually changed with one call. The head and tail pages keep their
    // bytes outside the range, as a read-modify-write must.
    const int32_t iFirst = int32_t(iOffset / PAGE_SIZE);
    const uint32_t iWithin = iOffset % PAGE_SIZE;
    const int32_t iCount = int32_t((iWithin + uint64_t(iLength) + PAGE_SIZE - 1) / PAGE_SIZE);
    lPages.resize(size_t(iCount) * PAGE_SIZE);
    readPages(iFirst, lPages.data(), iCount);
    lOld = lPages;

    std::vector<bool> lChanged(size_t(iCount), false);
    for (int32_t i = 0; i < iCount; ++i) {
        const size_t iPageStart = size_t(i) * PAGE_SIZE;
        const size_t iFrom = std::max<size_t>(iPageStart, iWithin);
        const size_t iTo = std::min<size_t>(iPageStart + PAGE_SIZE, iWithin + size_t(iLength));
        const uint8_t* pNew = pSource + (iFrom - iWithin);
        if (std::memcmp(lPages.data() + iFrom, pNew, iTo - iFrom) != 0) {
            std::memcpy(lPages.data() + iFrom, pNew, iTo - iFrom);
            lChanged[size_t(i)] = true;
        }
    }
    for (int32_t i = 0; i < iCount;) {
        if (!lChanged[size_t(i)]) {
            ++i;
            continue;
        }
        int32_t iRun = 1;
        while (i + iRun < iCount && lChanged[size_t(i + iRun)])
            ++iRun;
        programPages(iFirst + i, lPages.data() + size_t(i) * PAGE_SIZE, lOld.data() + size_t(i) * PAGE_SIZE,
                     iRun, std::find(lChanged.begin() + i + iRun, lChanged.end(), true) == lChanged.end());
        i += iRun;
    }
}
