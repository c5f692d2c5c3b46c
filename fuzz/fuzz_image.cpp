// fuzz_image: an arbitrary FAT (the input, over the FAT area and again at the data offset) mounted,
// searched, measured, checked, written back, extracted, reported and compared with the previous input's
// image. It checks that "invalid image" means a wrong magic word, that the FAT written back mounts to the
// same entries, that the extraction's manifest reads back word for word, and that the JSON is well formed.
#include <cstdlib>
#include <tuple>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "host/mktinyfs/extractionPlan.h"
#include "host/mktinyfs/imageDiff.h"
#include "host/mktinyfs/manifestWords.h"
#include "tinyfs/cTinyFs.h"

namespace {

void require(bool bHolds) {
    if (!bHolds)
        std::abort();
}

auto entries(cTinyFs& oFs) {
    std::vector<std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t>> lEntries;
    for (const cTinyFsFile& oFile : oFs.getFiles())
        lEntries.emplace_back(oFile.getName(), oFile.getFlags(), oFile.getOffset(), oFile.getSize(),
                              oFile.getLoadAddress());
    return lEntries;
}

// Brackets nest and close, one document ends with its line end, and every string holds no
// control byte and only escapes that JSON knows.
bool isWellFormed(const std::string& sJson) {
    std::string sOpen;
    bool bString = false;
    for (size_t i = 0; i < sJson.size(); ++i) {
        const char c = sJson[i];
        if (bString && static_cast<unsigned char>(c) < 0x20)
            return false;
        if (bString && c == '\\' && (++i == sJson.size() || !std::strchr("\"\\/bfnrtu", sJson[i])))
            return false;
        if (c == '"')
            bString = !bString;
        else if (!bString && (c == '{' || c == '['))
            sOpen += c;
        else if (!bString && (c == '}' || c == ']') &&
                 (sOpen.empty() || sOpen.back() != (c == '}' ? '{' : '[')))
            return false;
        else if (!bString && (c == '}' || c == ']'))
            sOpen.pop_back();
        if (sOpen.empty() && !bString && i + 2 < sJson.size())
            return false;
    }
    return !bString && sOpen.empty() && sJson.size() >= 2 && sJson.back() == '\n';
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
    const bool bMagic = loadLe32(lFat.data() + HEADER_MAGIC_POS) == TINYFS_MAGIC;
    static std::vector<uint8_t> lImage(DEVICE_SIZE, 0xFF); // the device's bytes, read faster
    std::copy(lFat.begin(), lFat.end(), lImage.begin() + FAT_OFFSET);
    std::copy_n(pData, std::min<size_t>(iSize, DEVICE_SIZE - DATA_OFFSET), lImage.begin() + DATA_OFFSET);
    const auto fRead = [](uint32_t iAt, uint8_t* pTo, uint32_t iLength) {
        std::copy_n(&lImage[iAt], iLength, pTo);
    };
    const cExtraction oPlan = planExtraction(fRead, iSize % 2 == 1, "fuzz");
    require(splitWords(oPlan.sManifest, "manifest") == oPlan.lWords);
    static std::optional<cImageReport> oPrevious;
    cImageReport oReport = reportImage(oDevice);
    require(isWellFormed(infoJson(oReport)) && !infoText(oReport).empty());
    require(oReport.oVerdict.bClean == (oReport.oVerdict.sMessage == "Filesystem is ready and clean."));
    if (oPrevious) {
        const cImageDiff oDiff = diffImages(*oPrevious, oReport);
        require(isWellFormed(diffJson(*oPrevious, oReport, oDiff)));
        require(oDiff.isSame() ==
                (diffText(*oPrevious, oReport, oDiff).empty() && oPrevious->lImage == oReport.lImage));
    }
    oPrevious = std::move(oReport);
    try {
        cTinyFs oFs(oDevice);
        uint64_t iBudget = PIECE_SIZE; // contents verified per input
        for (size_t i = 0; i < oFs.getFiles().size(); ++i) {
            const cTinyFsFile& oFile = oFs.getFiles()[i];
            require(&oFs.find("%" + std::to_string(i)) == &oFile);
            require(oFile.getSize() > oFile.getCapacity() || oFile.getUsagePercent() <= 100);
            iBudget -= std::min<uint64_t>(iBudget, oFile.getSize());
            try {
                oFs.checkIntegrity(i % 2 == 0);
                if (iBudget > 0)
                    oFs.verifyChecksum(oFile);
            } catch (const std::string& sError) { // the messages are the transcripts' to check
            }
        }
        const auto lBefore = entries(oFs);
        oFs.writeFat();
        cTinyFs oAgain(oDevice);
        require(entries(oAgain) == lBefore || lBefore.size() == FAT_MAX_ENTRIES);
    } catch (const std::string& sError) {
        require(sError == "invalid image" && !bMagic);
    }
    return 0;
}
