// The device opened as brellix -d opens it, measured, held; the order of --program's page
// programs; the two reads of --dump.
#include "host/mktinyfs/programCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include "host/mktinyfs/cImageOutput.h"
#include "host/mktinyfs/infoDiffCommand.h"
#include "host/mktinyfs/messageText.h"
#include "host/mktinyfs/standardOutput.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cProgress.h"
#include "tinyfs/cSignalHold.h"
#include "tinyfs/hexText.h"

namespace {

constexpr uint32_t MAGIC_AT = FAT_OFFSET + HEADER_MAGIC_POS;
constexpr int32_t HEADER_PAGE = int32_t(MAGIC_AT / PAGE_SIZE);
// Programming only clears bits on flash, so every page can take a cleared word.
constexpr uint32_t CLEARED_MAGIC = 0;

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
        throw quoteForMessage(sPath) + " is not a device of " + hexNumber(DEVICE_SIZE) + " bytes: it has " +
            std::to_string(iSize) + " bytes";
    return pDevice;
}

// Reads the device whole, each piece handed to fPiece, as work of the indicator from iBase
// on; a failure to read names the device, one of fPiece passes as it is.
void readWhole(cMtdDevice& oDevice, const std::string& sPath, cProgress& oProgress, uint64_t iBase,
               const tPiece& fPiece) {
    bool bReading = true;
    try {
        readDevice(oDevice, [&](uint32_t iOffset, const uint8_t* pPiece, uint32_t iLength) {
            bReading = false;
            fPiece(iOffset, pPiece, iLength);
            oProgress.update(iBase + iOffset + iLength);
            bReading = true;
        });
    } catch (const std::string& sProblem) {
        if (!bReading)
            throw;
        throw cannot("read", sPath, sProblem);
    }
}

// Takes the device from what it holds to the new image in the order that never leaves a
// table brellix mounts over pages of both (programCommand.h), reading it piece by piece and
// programming the pages of each that differ, and makes each step durable before the next
// where the device keeps a cache.
class cProgrammer {
  public:
    cProgrammer(cMtdDevice& oDevice, const std::string& sPath, const uint8_t* pNew)
        : oDevice(oDevice), sPath(sPath), pNew(pNew) {}

    void run() {
        {
            cProgress oProgress("programming " + sPath, DEVICE_SIZE, errorStatusLine());
            readWhole(oDevice, sPath, oProgress, 0,
                      [&](uint32_t iOffset, const uint8_t* pPiece, uint32_t iLength) {
                          programPiece(int32_t(iOffset / PAGE_SIZE), pPiece, int32_t(iLength / PAGE_SIZE));
                      });
        }
        const bool bHeaderDiffers = std::memcmp(lHeaderHeld.data(), pNew + at(HEADER_PAGE), PAGE_SIZE) != 0;
        if (bHeaderDiffers)
            begin();
        if (bGuard || bHeaderDiffers) {
            programHeader(pNew + at(HEADER_PAGE), true);
            programHeader(pNew + at(HEADER_PAGE), false);
        }
        sync();
    }

  private:
    // The pages of one piece that differ, in runs; the header page is left for the end.
    void programPiece(int32_t iFirst, const uint8_t* pPiece, int32_t iCount) {
        if (iFirst <= HEADER_PAGE && HEADER_PAGE < iFirst + iCount)
            lHeaderHeld.assign(pPiece + at(HEADER_PAGE - iFirst), pPiece + at(HEADER_PAGE - iFirst + 1));
        const auto fDiffers = [&](int32_t i) {
            return iFirst + i != HEADER_PAGE &&
                   std::memcmp(pPiece + at(i), pNew + at(iFirst + i), PAGE_SIZE) != 0;
        };
        for (int32_t i = 0; i < iCount;) {
            int32_t iRun = 0;
            while (i + iRun < iCount && fDiffers(i + iRun))
                ++iRun;
            if (iRun == 0) {
                ++i;
                continue;
            }
            begin();
            step([&] { oDevice.programPages(iFirst + i, pNew + at(iFirst + i), pPiece + at(i), iRun); });
            bDirty = true;
            i += iRun;
        }
    }

    // Before the first page is programmed: the header's magic word cleared while the
    // device's table is valid, made durable before any other page changes.
    void begin() {
        if (bStarted)
            return;
        bStarted = true;
        bGuard = loadLe32(lHeaderHeld.data() + MAGIC_AT % PAGE_SIZE) == TINYFS_MAGIC;
        if (bGuard)
            programHeader(lHeaderHeld.data(), true);
        sync();
    }

    // The header page as pPage has it (its magic word cleared with bClear), unless it holds
    // that already; each state differs from the one before in the magic word alone, or
    // holds it cleared, so no tear of a program at any byte makes a valid header over slots
    // or pages of both images. After other pages, those are made durable first.
    void programHeader(const uint8_t* pPage, bool bClear) {
        std::vector<uint8_t> lPage(pPage, pPage + PAGE_SIZE);
        if (bClear)
            storeLe32(lPage.data() + MAGIC_AT % PAGE_SIZE, CLEARED_MAGIC);
        if (lPage == lHeaderHeld)
            return;
        sync();
        step([&] { oDevice.programPages(HEADER_PAGE, lPage.data(), lHeaderHeld.data(), 1); });
        bDirty = true;
        lHeaderHeld = lPage;
    }

    void sync() {
        if (bDirty)
            step([&] { oDevice.sync(); });
        bDirty = false;
    }

    // A failure of the device while programming names it.
    template <typename tStep>
    void step(const tStep& fStep) {
        try {
            fStep();
        } catch (const std::string& sProblem) {
            throw cannot("program", sPath, sProblem);
        }
    }

    cMtdDevice& oDevice;
    const std::string& sPath;
    const uint8_t* pNew;
    std::vector<uint8_t> lHeaderHeld; // what the header page holds now
    bool bStarted = false;            // a page was (or is being) programmed
    bool bGuard = false;              // the header was cleared before other pages
    bool bDirty = false;              // programmed since the last sync
};

} // namespace

int programCommand(const std::string& sImage, const std::string& sDevice, bool bForce) {
    struct stat oImage;
    const cImageReport oReport = readReport(sImage, false, oImage);
    if (!oReport.oVerdict.bClean && !bForce)
        throw quoteForMessage(sImage) + " fails brellix --check: " + oReport.oVerdict.sMessage +
            " (--force programs it nevertheless)";
    const std::unique_ptr<cMtdDevice> pDevice = openDevice(sDevice, LOCK_EXCLUSIVE);
    if (pDevice->aliasOf(oImage) == ALIAS_SAME)
        throw "DEVICE " + quoteForMessage(sDevice) + " is IMAGE " + quoteForMessage(sImage) + " itself";
    if (!oReport.oVerdict.bClean)
        std::fprintf(stderr, "mktinyfs: programming %s as --force asks, though brellix --check says: %s\n",
                     quoteForMessage(sImage).c_str(), oReport.oVerdict.sMessage.c_str());
    cSignalHold oHold(*pDevice, "--program");
    try {
        cProgrammer(*pDevice, sDevice, oReport.lImage.data()).run();
    } catch (const std::string& sProblem) {
        if (pDevice->getProgrammed() == 0)
            throw;
        throw sProblem + "; it now holds neither image, run --program again";
    }
    oHold.release();
    return 0;
}

int dumpCommand(const std::string& sDevice, const std::string& sFile) {
    const std::unique_ptr<cMtdDevice> pDevice = openDevice(sDevice, LOCK_SHARED);
    cImageOutput oOutput(sFile, false, pDevice.get());
    // The second read is compared piece by piece: one copy of the device in memory.
    std::vector<uint8_t> lFirst = imageBuffer();
    std::optional<uint64_t> iDiffers;
    {
        cProgress oProgress("reading " + sDevice, 2 * uint64_t(DEVICE_SIZE), errorStatusLine());
        readWhole(*pDevice, sDevice, oProgress, 0,
                  [&](uint32_t iOffset, const uint8_t* pPiece, uint32_t iLength) {
                      std::memcpy(lFirst.data() + iOffset, pPiece, iLength);
                  });
        readWhole(*pDevice, sDevice, oProgress, DEVICE_SIZE,
                  [&](uint32_t iOffset, const uint8_t* pPiece, uint32_t iLength) {
                      const uint8_t* pFirst = lFirst.data() + iOffset;
                      if (iDiffers || std::memcmp(pPiece, pFirst, iLength) == 0)
                          return; // the common case, at memory speed
                      iDiffers =
                          iOffset + uint64_t(std::mismatch(pPiece, pPiece + iLength, pFirst).first - pPiece);
                  });
    }
    if (iDiffers)
        throw quoteForMessage(sDevice) + " read differently the second time, first at byte " +
            hexNumber(*iDiffers) + " (page " + std::to_string(*iDiffers / PAGE_SIZE) + "): nothing written";
    oOutput.write(0, lFirst.data(), DEVICE_SIZE);
    oOutput.commit();
    return 0;
}
