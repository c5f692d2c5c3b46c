// The device opened as brellix -d opens it, measured, held; the order of --program's page
// programs; the two reads of --dump.
#include "host/mktinyfs/programCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "host/mktinyfs/cImageOutput.h"
#include "host/mktinyfs/infoDiffCommand.h"
#include "host/mktinyfs/messageText.h"
#include "host/mktinyfs/standardOutput.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cProgress.h"
#include "tinyfs/cSignalHold.h"

namespace {

constexpr uint32_t MAGIC_AT = FAT_OFFSET + HEADER_MAGIC_POS;
constexpr int32_t HEADER_PAGE = int32_t(MAGIC_AT / PAGE_SIZE);
// Programming only clears bits on flash, so every page can take a cleared word.
constexpr uint32_t CLEARED_MAGIC = 0;
constexpr int32_t PIECE_PAGES = int32_t(PIECE_SIZE / PAGE_SIZE);

size_t at(int32_t iPage) {
    return size_t(iPage) * PAGE_SIZE;
}

std::string cannot(const char* sWhat, const std::string& sPath, const std::string& sProblem) {
    return std::string("cannot ") + sWhat + " " + quoteForMessage(sPath) + ": " + sProblem;
}

// Without blocking: a FIFO without a writer is refused, not waited for. Anything but a
// device node or an image file is refused, and so is a device of another size.
std::unique_ptr<cMtdDevice> openDevice(const std::string& sPath, tLock iLock) {
    const int iAccess = iLock == LOCK_EXCLUSIVE ? O_RDWR : O_RDONLY;
    cDescriptor oNode(::open(sPath.c_str(), iAccess | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat oStat;
    if (oNode.iFd < 0 || ::fstat(oNode.iFd, &oStat) != 0)
        throw cannot("open", sPath, std::strerror(errno));
    if (!S_ISREG(oStat.st_mode) && !S_ISCHR(oStat.st_mode) && !S_ISBLK(oStat.st_mode))
        throw quoteForMessage(sPath) + " is neither a device node nor an image file";
    auto pDevice = std::make_unique<cMtdDevice>(oNode.release(), sPath, iLock);
    uint64_t iSize = 0;
    try {
        iSize = pDevice->measure();
    } catch (const std::string& sProblem) {
        throw cannot("read", sPath, sProblem);
    }
    if (iSize != DEVICE_SIZE)
        throw quoteForMessage(sPath) + " is not a device of " + hexForMessage(DEVICE_SIZE) +
            " bytes: it has " + std::to_string(iSize) + " bytes";
    return pDevice;
}

// The whole device into lTo, reported as iBase and more bytes of the indicator's work.
void readWhole(cMtdDevice& oDevice, const std::string& sPath, std::vector<uint8_t>& lTo, cProgress& oProgress,
               uint64_t iBase) {
    lTo.resize(DEVICE_SIZE);
    try {
        readDevice(oDevice, lTo.data(), [&](uint32_t iDone) { oProgress.update(iBase + iDone); });
    } catch (const std::string& sProblem) {
        throw cannot("read", sPath, sProblem);
    }
}

// Takes the device from what it holds to the new image in the order that never leaves a
// table brellix mounts over pages of both (programCommand.h), and makes each step durable
// before the next where the device keeps a cache.
class cProgrammer {
  public:
    cProgrammer(cMtdDevice& oDevice, std::vector<uint8_t>& lHeld, const uint8_t* pNew)
        : oDevice(oDevice), lHeld(lHeld), pNew(pNew), lDiffers(size_t(PAGE_COUNT)) {
        for (int32_t i = 0; i < PAGE_COUNT; ++i) {
            lDiffers[size_t(i)] = std::memcmp(lHeld.data() + at(i), pNew + at(i), PAGE_SIZE) != 0;
            iPages += lDiffers[size_t(i)] && i != HEADER_PAGE;
        }
        if (iPages == 0 && !lDiffers[size_t(HEADER_PAGE)])
            return;
        // The header page, each time in a state that differs from the one before in the
        // magic word alone, or holds it cleared: no tear of a program, at any byte, makes
        // a valid header over slots or pages of both images.
        bGuard = loadLe32(lHeld.data() + MAGIC_AT) == TINYFS_MAGIC;
        if (bGuard)
            plan(lHeld.data() + at(HEADER_PAGE), true);
        if (bGuard || lDiffers[size_t(HEADER_PAGE)]) {
            plan(pNew + at(HEADER_PAGE), true);
            plan(pNew + at(HEADER_PAGE), false);
        }
        iPages += lHeader.size();
    }

    uint64_t getPages() const { return iPages; }

    void run(cProgress& oProgress) {
        size_t iStep = 0;
        if (bGuard) {
            program(HEADER_PAGE, lHeader[iStep++].data(), 1, oProgress);
            oDevice.sync();
        }
        for (int32_t i = 0; i < PAGE_COUNT;) {
            if (i == HEADER_PAGE || !lDiffers[size_t(i)]) {
                ++i;
                continue;
            }
            int32_t iRun = 1;
            while (i + iRun < PAGE_COUNT && iRun < PIECE_PAGES && i + iRun != HEADER_PAGE &&
                   lDiffers[size_t(i + iRun)])
                ++iRun;
            program(i, pNew + at(i), iRun, oProgress);
            i += iRun;
        }
        for (; iStep < lHeader.size(); ++iStep) {
            oDevice.sync();
            program(HEADER_PAGE, lHeader[iStep].data(), 1, oProgress);
        }
        oDevice.sync();
    }

  private:
    // Adds the header page pPage (its magic word cleared with bClear) to the states it
    // goes through, unless the page holds it by then.
    void plan(const uint8_t* pPage, bool bClear) {
        std::vector<uint8_t> lPage(pPage, pPage + PAGE_SIZE);
        if (bClear)
            storeLe32(lPage.data() + MAGIC_AT % PAGE_SIZE, CLEARED_MAGIC);
        const uint8_t* pBefore = lHeader.empty() ? lHeld.data() + at(HEADER_PAGE) : lHeader.back().data();
        if (std::memcmp(lPage.data(), pBefore, PAGE_SIZE) != 0)
            lHeader.push_back(lPage);
    }

    void program(int32_t iPage, const uint8_t* pBytes, int32_t iCount, cProgress& oProgress) {
        oDevice.programPages(iPage, pBytes, lHeld.data() + at(iPage), iCount);
        std::memcpy(lHeld.data() + at(iPage), pBytes, at(iCount));
        iDone += at(iCount);
        oProgress.update(iDone);
    }

    cMtdDevice& oDevice;
    std::vector<uint8_t>& lHeld; // what the device holds now
    const uint8_t* pNew;
    std::vector<bool> lDiffers;
    std::vector<std::vector<uint8_t>> lHeader; // the header page's states, in order
    uint64_t iPages = 0;                       // page programs to come
    bool bGuard = false;                       // the header is cleared before other pages
    uint64_t iDone = 0;
};

} // namespace

int programCommand(const std::string& sImage, const std::string& sDevice, bool bForce) {
    struct stat oImage;
    const cImageReport oReport = readReport(sImage, false, oImage);
    if (!oReport.bClean && !bForce)
        throw quoteForMessage(sImage) + " fails brellix --check: " + verdictMessage(oReport) +
            " (--force programs it nevertheless)";
    const std::unique_ptr<cMtdDevice> pDevice = openDevice(sDevice, LOCK_EXCLUSIVE);
    if (pDevice->aliasOf(oImage) == ALIAS_SAME)
        throw "DEVICE " + quoteForMessage(sDevice) + " is IMAGE " + quoteForMessage(sImage) + " itself";
    std::vector<uint8_t> lHeld;
    {
        cProgress oProgress("reading " + sDevice, DEVICE_SIZE, errorStatusLine());
        readWhole(*pDevice, sDevice, lHeld, oProgress, 0);
    }
    cProgrammer oProgrammer(*pDevice, lHeld, oReport.lImage.data());
    if (oProgrammer.getPages() == 0)
        return 0;
    if (!oReport.bClean)
        std::fprintf(stderr, "mktinyfs: programming %s as --force asks, though brellix --check says: %s\n",
                     quoteForMessage(sImage).c_str(), verdictMessage(oReport).c_str());
    cSignalHold oHold(*pDevice, "--program");
    const uint64_t iUntouched = pDevice->getProgrammed();
    try {
        cProgress oProgress("programming " + sDevice, oProgrammer.getPages() * PAGE_SIZE, errorStatusLine());
        oProgrammer.run(oProgress);
    } catch (const std::string& sProblem) {
        if (pDevice->getProgrammed() == iUntouched)
            throw cannot("program", sDevice, sProblem);
        throw cannot("program", sDevice, sProblem) + "; it now holds neither image, run --program again";
    }
    oHold.release();
    return 0;
}

int dumpCommand(const std::string& sDevice, const std::string& sFile) {
    const std::unique_ptr<cMtdDevice> pDevice = openDevice(sDevice, LOCK_SHARED);
    cImageOutput oOutput(sFile, false, pDevice.get());
    std::vector<uint8_t> lFirst;
    std::vector<uint8_t> lSecond;
    {
        cProgress oProgress("reading " + sDevice, 2 * uint64_t(DEVICE_SIZE), errorStatusLine());
        readWhole(*pDevice, sDevice, lFirst, oProgress, 0);
        readWhole(*pDevice, sDevice, lSecond, oProgress, DEVICE_SIZE);
    }
    const auto oFirst = std::mismatch(lFirst.begin(), lFirst.end(), lSecond.begin());
    if (oFirst.first != lFirst.end()) {
        const uint64_t iByte = uint64_t(oFirst.first - lFirst.begin());
        throw quoteForMessage(sDevice) + " read differently the second time, first at byte " +
            hexForMessage(iByte) + " (page " + std::to_string(iByte / PAGE_SIZE) + "): nothing written";
    }
    oOutput.write(0, lFirst.data(), DEVICE_SIZE);
    oOutput.commit();
    return 0;
}
