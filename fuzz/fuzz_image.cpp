// fuzz_image: an arbitrary FAT (the input, over the FAT area from its first byte and also
// as the contents at the data offset) mounted, measured, searched, checked and written
// back. Besides the sanitizers it checks what holds for any image: a mount works or says
// "invalid image", failures are the messages their operations document, and the FAT
// written back mounts to the same entries.
#include <cstdlib>
#include <unistd.h>

#include "tinyfs/cTinyFs.h"

namespace {

void require(bool bHolds) {
    if (!bHolds)
        std::abort();
}

void requireFailure(const std::string& sError, std::initializer_list<const char*> lPrefixes) {
    bool bKnown = false;
    for (const char* sPrefix : lPrefixes)
        bKnown = bKnown || sError.rfind(sPrefix, 0) == 0;
    require(bKnown);
}

std::string entries(cTinyFs& oFs) {
    std::string sEntries;
    for (const cTinyFsFile& oFile : oFs.getFiles())
        for (uint32_t iField : {oFile.getFlags(), oFile.getOffset(), oFile.getSize(), oFile.getLoadAddress()})
            sEntries += oFile.getName() + ':' + std::to_string(iField) + '\n';
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
    try {
        cTinyFs oFs(oDevice);
        require(loadLe32(lFat.data() + HEADER_MAGIC_POS) == TINYFS_MAGIC);
        uint64_t iBudget = 64 * PAGE_SIZE; // contents verified per input
        for (size_t i = 0; i < oFs.getFiles().size(); ++i) {
            const cTinyFsFile& oFile = oFs.getFiles()[i];
            require(&oFs.find("%" + std::to_string(i)) == &oFile &&
                    oFs.find(oFile.getName()).getName() == oFile.getName());
            require(oFile.getCapacity() == oFs.getCapacity(oFile, true));
            require(oFile.getSize() > oFile.getCapacity() || oFile.getUsagePercent() <= 100);
            try {
                if (oFile.getSize() <= iBudget)
                    oFs.verifyChecksum(oFile);
                iBudget -= std::min<uint64_t>(iBudget, oFile.getSize());
            } catch (const std::string& sError) {
                requireFailure(sError, {"CheckSum error: 0x", "file exceeds device (\""});
            }
        }
        for (bool bBootTime : {false, true}) {
            try {
                oFs.checkIntegrity(bBootTime);
            } catch (const std::string& sError) {
                requireFailure(sError, {"Filesystem corrupt: File \""});
            }
        }
        const std::string sBefore = entries(oFs);
        oFs.writeFat();
        cTinyFs oAgain(oDevice);
        require(entries(oAgain) == sBefore || oFs.getFiles().size() == FAT_MAX_ENTRIES);
    } catch (const std::string& sError) {
        require(sError == "invalid image" && loadLe32(lFat.data() + HEADER_MAGIC_POS) != TINYFS_MAGIC);
    }
    return 0;
}
