// Sample images and the scratch directory of the fault and power-cut suites.
#include "tests/faults/faultBench.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include "tinyfs/layout.h"

const char INPUT_ARG[] = "@input";
const char TARGET_ARG[] = "@target";

namespace sample {

const uint32_t KERNEL_OFFSET = 50 * PAGE_SIZE;
const uint32_t ROOTFS_OFFSET = 60 * PAGE_SIZE + 300;
const uint32_t MAC_OFFSET = 80 * PAGE_SIZE - 8;
const char DEVICE_ID[] = "board-0001";

namespace {
constexpr uint32_t LOGO_OFFSET = 70 * PAGE_SIZE;
constexpr uint32_t MAC_FILE_END = 82 * PAGE_SIZE;
constexpr uint32_t KERNEL_BYTES = 2 * PAGE_SIZE;
constexpr uint32_t ROOTFS_BYTES = 3000;

// The full table: entry i at page FULL_FIRST_PAGE + FULL_STRIDE * i, FULL_BYTES long.
constexpr uint32_t FULL_FIRST_PAGE = 47;
constexpr uint32_t FULL_STRIDE = 2;
constexpr uint32_t FULL_BYTES = 24;
constexpr uint32_t FULL_WRITE_ENTRY = 512; // its slot lies in the first half of a page
constexpr uint32_t NAME_DIGITS = 4;

std::string fullName(uint32_t iEntry) {
    const std::string sNumber = std::to_string(iEntry);
    return "f" + std::string(NAME_DIGITS - sNumber.size(), '0') + sNumber;
}

std::vector<uint8_t> text(const std::string& sText) {
    return std::vector<uint8_t>(sText.begin(), sText.end());
}
} // namespace

const uint32_t FULL_WRITE_OFFSET = (FULL_FIRST_PAGE + FULL_STRIDE * FULL_WRITE_ENTRY) * PAGE_SIZE;
const char FULL_WRITE_NAME[] = "f0512";
const char FULL_RENAME_EARLY_NAME[] = "f0520";
const char FULL_RENAME_LATE_NAME[] = "f0900";

std::vector<uint8_t> randomBytes(size_t iCount, uint32_t iSeed) {
    std::mt19937 oRandom(iSeed);
    std::vector<uint8_t> lBytes(iCount);
    for (uint8_t& iByte : lBytes)
        iByte = uint8_t(oRandom());
    return lBytes;
}

cByteRange fatRange() {
    return {FAT_OFFSET, FAT_OFFSET + FAT_SIZE};
}

cImageBuilder smallImage() {
    cImageBuilder oImage;
    cImageFile oKernel;
    oKernel.sName = "kernel";
    oKernel.lContents = randomBytes(KERNEL_BYTES, 1);
    oKernel.iOffset = KERNEL_OFFSET;
    oImage.addFile(oKernel);

    cImageFile oRootfs;
    oRootfs.sName = "rootfs";
    oRootfs.lContents = randomBytes(ROOTFS_BYTES, 2);
    oRootfs.iOffset = ROOTFS_OFFSET;
    oImage.addFile(oRootfs);

    cImageFile oLogo;
    oLogo.sName = "logo";
    oLogo.lContents = text("** the logo, as text **\nsecond line\n");
    oLogo.iOffset = LOGO_OFFSET;
    oLogo.bChecksum = false;
    oImage.addFile(oLogo);

    // Laid by hand rather than with setMac: the address straddles two pages, and a
    // byte after the address shows that only the address is rewritten.
    cImageFile oMac;
    oMac.sName = "mac-address";
    oMac.lContents = text("02:00:00:00:00:01\n");
    oMac.iOffset = MAC_OFFSET;
    oMac.bChecksum = false;
    oImage.addFile(oMac);

    // Ends the room of "mac-address", so no file runs to the device end.
    cImageFile oEnd;
    oEnd.sName = "config";
    oEnd.lContents = text("key=value\n");
    oEnd.iOffset = MAC_FILE_END;
    oImage.addFile(oEnd);

    oImage.setDeviceId(DEVICE_ID);
    return oImage;
}

cImageBuilder fullImage() {
    cImageBuilder oImage;
    for (uint32_t iEntry = 0; iEntry < FAT_MAX_ENTRIES; ++iEntry) {
        cImageFile oFile;
        oFile.sName = fullName(iEntry);
        oFile.lContents = randomBytes(FULL_BYTES, 100 + iEntry);
        oFile.iOffset = (FULL_FIRST_PAGE + FULL_STRIDE * iEntry) * PAGE_SIZE;
        oImage.addFile(oFile);
    }
    return oImage;
}

} // namespace sample

cFaultBench::cFaultBench(const cCommandCase& oCase)
    : oCase(oCase), lBefore(oCase.oImage.build()), lOldTarget(sample::randomBytes(PAGE_SIZE / 3, 7)) {
    reset();
}

void cFaultBench::reset() const {
    writeBytes(imagePath(), lBefore);
    writeBytes(inputPath(), oCase.lInput);
    writeBytes(targetPath(), lOldTarget);
    std::remove(logPath().c_str());
}

std::vector<std::string> cFaultBench::args() const {
    std::vector<std::string> lArgs = {"-d", imagePath()};
    for (const std::string& sArg : oCase.lArgs)
        lArgs.push_back(sArg == INPUT_ARG ? inputPath() : sArg == TARGET_ARG ? targetPath() : sArg);
    return lArgs;
}

cRunResult cFaultBench::run(cIoSetup oSetup, const std::vector<std::string>& lExtraArgs) const {
    oSetup.sDevice = imagePath();
    oSetup.lFiles = {inputPath(), targetPath()};
    oSetup.sLog = logPath();
    std::vector<std::string> lArgs = args();
    if (!lExtraArgs.empty()) {
        lArgs = {"-d", imagePath()};
        lArgs.insert(lArgs.end(), lExtraArgs.begin(), lExtraArgs.end());
    }
    return runBrellix(lArgs, interposeEnvironment(interposeLibPath(), oSetup));
}

void PrintTo(const cCommandCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sName;
}

std::string foreignChanges(const std::vector<uint8_t>& lBefore, const std::vector<uint8_t>& lImage,
                           const std::vector<cByteRange>& lOwned) {
    if (lBefore.size() != lImage.size())
        return "image size " + std::to_string(lImage.size()) + " instead of " +
               std::to_string(lBefore.size());
    size_t iFirst = 0;
    size_t iCount = 0;
    for (size_t i = 0; i < lImage.size(); ++i) {
        // Whole equal pages are passed over at once.
        if (i % PAGE_SIZE == 0 && i + PAGE_SIZE <= lImage.size() &&
            std::memcmp(lBefore.data() + i, lImage.data() + i, PAGE_SIZE) == 0) {
            i += PAGE_SIZE - 1;
            continue;
        }
        if (lBefore[i] == lImage[i])
            continue;
        bool bOwned = false;
        for (const cByteRange& oRange : lOwned)
            bOwned = bOwned || (i >= oRange.iFrom && i < oRange.iTo);
        if (bOwned)
            continue;
        if (iCount++ == 0)
            iFirst = i;
    }
    if (iCount == 0)
        return "";
    char aText[64];
    std::snprintf(aText, sizeof aText, "0x%zx (%zu bytes)", iFirst, iCount);
    return aText;
}
