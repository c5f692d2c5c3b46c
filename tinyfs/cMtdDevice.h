// The opened flash device: an MTD character device node (or a regular file of the same
// size standing in for it) reached through one POSIX descriptor, with the board's fixed
// page geometry.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "tinyfs/cDeviceLock.h"
#include "tinyfs/deviceIdentity.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/layout.h"

class cMtdDevice {
  public:
    // Opens the node read/write and locks the device (cDeviceLock), waiting a few seconds
    // for another run to let go; throws "unable to open device" or a failure of
    // cDeviceLock ("device is locked by another process (path)" and others).
    explicit cMtdDevice(const std::string& sPath, tLock iLock = LOCK_EXCLUSIVE);
    // Takes over iOpenFd, a node the caller opened and checked itself (read-only, for a
    // reader that must never write the device), and locks it as above. The descriptor is
    // closed with the device, or at once when this throws.
    cMtdDevice(int iOpenFd, const std::string& sPath, tLock iLock);
    ~cMtdDevice() = default; // lets go of the lock, then closes the node; never writes

    cMtdDevice(const cMtdDevice&) = delete;
    cMtdDevice& operator=(const cMtdDevice&) = delete;

    uint32_t getSize() const { return DEVICE_SIZE; }

    // Whether sPath names this device: the same file, another node of the same character
    // or block device, or the file behind this loop device (or, where that file is stacked
    // on an overlay, a regular file that may be it: deviceIdentity.h).
    bool isSameFile(const std::string& sPath) const;
    // How an open file, or the file oOther describes, relates to this device
    // (deviceIdentity.h).
    tAlias aliasOf(int iFd) const;
    tAlias aliasOf(const struct stat& oOther) const;
    // The size the node itself reports, by seeking to its end (a regular file's length,
    // an MTD or block device's size); throws "invalid seek" when it reports none.
    uint64_t measure();
    // Makes what was programmed durable where the node keeps a cache (an image file, a
    // block device); an MTD node, which programs at once, has nothing to sync. Throws
    // "unable to sync".
    void sync();

    // Whole-page transfers, one read or write call each, after a seek unless the node
    // already stands at the page (the end of the previous transfer). The geometry is
    // enforced here whatever the node would answer: a run that starts past the last
    // page fails with "invalid seek", one that would run past it with "incomplete
    // read"/"incomplete write", and in both cases no byte moves.
    void readPages(int32_t iPage, uint8_t* pDest, int32_t iCount);
    void writePages(int32_t iPage, const uint8_t* pSource, int32_t iCount);

    // Byte-addressed transfers of any offset and length. A write reads the pages it
    // covers once, and programs only the pages whose bytes change, consecutive changed
    // pages in one call: flash pages wear with every program. Each programmed run is read
    // back at once; a page that does not hold what was meant (a write-protected or worn
    // chip, a driver that drops writes) ends the write with "flash did not take the write
    // at byte 0x<position> (page <n>)", and nothing after it is programmed.
    void read(uint32_t iOffset, uint8_t* pDest, uint32_t iLength);
    void write(uint32_t iOffset, const uint8_t* pSource, uint32_t iLength);
    // Programs iCount whole pages at iPage with one write call and reads them back at
    // once, as write does for each of its runs; pOld holds what the pages held before;
    // bLastRun: the last run of a write, whose failed read-back alone leaves it unverified.
    void programPages(int32_t iPage, const uint8_t* pSource, const uint8_t* pOld, int32_t iCount,
                      bool bLastRun = false);

    // Bytes that write calls have put on the device so far (a call that failed outright
    // puts none, nor one whose pages read back as they were): once this grows, what was
    // there before is no longer whole.
    uint64_t getProgrammed() const { return iProgrammed; }
    // The reason of the last transfer that failed, as the system names reasons: the errno of
    // its failed call, EIO for a short count, ESPIPE for a position the node would not take
    // or one outside the device; for a caller that words its failures that way.
    int getError() const { return iError; }
    // Whether the last write failed only in reading back its last programmed run: every
    // page it meant to change was programmed, none of them verified wrong.
    bool isUnverified() const { return bUnverified; }
    // Called before every write call, so that the caller can prepare for the device
    // changing (an empty function: nothing is called).
    void setBeforeProgram(std::function<void()> fHook) { fBeforeProgram = std::move(fHook); }

  private:
    // Identifies and locks the node oFile holds.
    void lockOpened(const std::string& sPath, tLock iLock);
    // Throws sProblem, keeping iReason for getError.
    [[noreturn]] void fail(const char* sProblem, int iReason);
    void seekPage(int32_t iPage);
    // Reads back iCount pages just programmed and throws when they differ from pMeant;
    // pages that read back as pOld, what they held before, count as not programmed.
    void verifyPages(int32_t iPage, const uint8_t* pMeant, const uint8_t* pOld, int32_t iCount,
                     bool bLastRun);
    // Throws, before anything moves, the failure the page sequence of a byte-addressed
    // transfer would meet at the device end.
    void checkRange(uint32_t iOffset, uint32_t iLength, bool bWrite);

    cDescriptor oFile;
    cDeviceIdentity oDevice;          // what was opened, as its descriptor says
    std::optional<cDeviceLock> oLock; // after oFile: lets go of the node before it is closed
    std::vector<uint8_t> lPages;      // scratch for partial pages and write comparison
    std::vector<uint8_t> lReadBack;   // the pages of the last programmed run, as read back
    std::vector<uint8_t> lOld;        // the pages of the last write, as they were before it
    int64_t iPosition = -1;           // where the descriptor stands, when known
    uint64_t iProgrammed = 0;
    bool bUnverified = false;
    int iError = 0;
    std::function<void()> fBeforeProgram;
};
