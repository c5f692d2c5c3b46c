// fuzz_image: an arbitrary FAT (the input, over the FAT area from its first byte and also
// as the contents at the data offset) mounted, measured, searched, checked and written
// back. Besides the sanitizers it checks what holds for any image: a mount works or says
// "invalid image", failures are the messages of their operations, and the FAT written
// back mounts to the same entries.
#include <cstdlib>
#include <unistd.h>

#include "tinyfs/cTinyFs.h"

namespace {

void require(bool bHolds) {
    if (!bHolds)
        std::abort();
}

std::string entries(cTinyFs& oFs) {
    std::string sEntries;
    for (const cTinyFsFile& oFile : oFs.getFiles())
        sEntries += oFile.getName() + ' ' + std::to_string(oFile.getFlags()) + ' ' +
                    std::to_string(oFile.getOffset()) + ' ' + std::to_string(oFile.getSize()) + ' ' +
                    std::to_string(oFile.getLoadAddress()) + '\n';
    return sEntries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize) {
    static char aPath[] = "/tmp/brellix-fuzz-XXXXXX";
    static const int iFd = ::mkstemp(aPath);
    require(iFd >= 0 && ::ftruncate(iFd, DEVICE_SIZE) == 0);
    std::vector<uint8_t> lFat(pData, pData + std::min<size_t>(iSize, FAT_SIZE));
    lFat.resize(FAT_SIZE);
    cMtdDevice oDevice(aPath);
    oDevice.write(FAT_OFFSET, lFat.data(), FAT_SIZE);
    oDevice.write(DATA_OFFSET, pData, uint32_t(std::min<size_t>(iSize, DEVICE_SIZE - DATA_OFFSET)));
    const bool bValid = loadLe32(lFat.data() + HEADER_MAGIC_POS) == TINYFS_MAGIC;
    std::string sError;
    try {
        cTinyFs oFs(oDevice);
        uint64_t iBudget = 64 * PAGE_SIZE; // contents verified per input
        for (size_t i = 0; i < oFs.getFiles().size(); ++i) {
            const cTinyFsFile& oFile = oFs.getFiles()[i];
            // A name of the %N form finds by position first.
            require(&oFs.find("%" + std::to_string(i)) == &oFile &&
                    (oFile.getName()[0] == '%' || oFs.find(oFile.getName()).getName() == oFile.getName()));
            require(oFile.getSize() > oFile.getCapacity() || oFile.getUsagePercent() <= 100);
            iBudget -= std::min<uint64_t>(iBudget, oFile.getSize());
            try {
                if (iBudget > 0)
                    oFs.verifyChecksum(oFile);
            } catch (const std::string& sMismatch) {
                require(sMismatch.rfind("CheckSum error: 0x", 0) == 0 ||
                        sMismatch.rfind("file exceeds device", 0) == 0);
            }
        }
        for (bool bBootTime : {false, true}) {
            try {
                oFs.checkIntegrity(bBootTime);
            } catch (const std::string& sCorrupt) {
                require(sCorrupt.rfind("Filesystem corrupt: File \"", 0) == 0);
            }
        }
        const std::string sBefore = entries(oFs);
        oFs.writeFat();
        cTinyFs oAgain(oDevice);
        require(entries(oAgain) == sBefore || oFs.getFiles().size() == FAT_MAX_ENTRIES);
    } catch (const std::string& sFailure) {
        sError = sFailure;
    }
    require(bValid == sError.empty() && (bValid || sError == "invalid image"));
    return 0;
}
