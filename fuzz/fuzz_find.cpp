// fuzz_find: file lookup with arbitrary names, exact or "%N", on a small mounted image.
//
// The input is cut at zero bytes into names, as names arrive in the argument vector.
// The image holds a duplicate name, a name that looks like a position, a name of the
// full 15 bytes and names with bytes above 0x7F and control bytes.
#include <algorithm>
#include <memory>

#include "fuzz/fuzzSupport.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"

namespace {

const char* const IMAGE_NAMES[] = {"kernel", "rootfs",          "%1",          "mac-address",
                                   "kernel", "fifteen-bytes!!", "caf\xc3\xa9", "\x01\x7f\xff"};
constexpr uint32_t FILE_ROOM = 16 * PAGE_SIZE;
constexpr uint32_t FILE_SIZE = 100;
// The longest run of digits after '%' that is always a valid position number.
constexpr size_t MAX_PLAIN_DIGITS = 9;

class cMountedImage {
  public:
    cMountedImage() {
        std::vector<uint8_t> lFat(FAT_SIZE);
        initFatArea(lFat.data());
        uint32_t iSlot = 1;
        for (const char* sName : IMAGE_NAMES) {
            encodeSlot(lFat.data() + iSlot * FAT_SLOT_SIZE,
                       {sName, 0, DATA_OFFSET + (iSlot - 1) * FILE_ROOM, FILE_SIZE, 0});
            ++iSlot;
        }
        oScratch.put(FAT_OFFSET, lFat);
        pDevice = std::make_unique<cMtdDevice>(oScratch.path());
        pFs = std::make_unique<cTinyFs>(*pDevice);
        require(pFs->getFiles().size() == std::size(IMAGE_NAMES), "fixture mounts");
    }
    cTinyFs& fs() { return *pFs; }

  private:
    cScratchDevice oScratch;
    std::unique_ptr<cMtdDevice> pDevice;
    std::unique_ptr<cTinyFs> pFs;
};

// The position a name of '%' and only decimal digits denotes, when it denotes one.
bool plainPosition(const std::string& sName, size_t& iPosition) {
    if (sName.size() < 2 || sName.size() > 1 + MAX_PLAIN_DIGITS || sName[0] != '%')
        return false;
    if (!std::all_of(sName.begin() + 1, sName.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    iPosition = std::stoul(sName.substr(1));
    return true;
}

void checkLookup(cTinyFs& oFs, const std::string& sName) {
    const std::vector<cTinyFsFile>& lFiles = oFs.getFiles();
    const auto itExact = std::find_if(lFiles.begin(), lFiles.end(),
                                      [&](const cTinyFsFile& oFile) { return oFile.getName() == sName; });
    size_t iPosition = 0;
    const bool bPosition = plainPosition(sName, iPosition) && iPosition < lFiles.size();
    try {
        const cTinyFsFile& oFound = oFs.find(sName);
        require(&oFound >= lFiles.data() && &oFound < lFiles.data() + lFiles.size(),
                "found entry is in the table");
        if (bPosition)
            require(&oFound == &lFiles[iPosition], "\"%N\" is the N-th entry");
        else if (oFound.getName() != sName)
            require(sName.size() >= 2 && sName[0] == '%', "only a position form finds another name");
        else if (sName[0] != '%')
            require(&oFound == &*itExact, "a plain name finds its first entry");
    } catch (const std::string& sError) {
        require(!bPosition, "a valid position is not found");
        require(itExact == lFiles.end(), "an existing name is not found");
        require(sError == "file entry not found (\"" + sName + "\")", "message names the name");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize) {
    static cMountedImage oImage;
    for (const std::string& sName : splitAtZero(pData, iSize))
        checkLookup(oImage.fs(), sName);
    return 0;
}
