// fuzz_image: an arbitrary FAT over a device of arbitrary contents, mounted, listed,
// checked and written back.
//
// The input lies over the FAT area from its first byte (the rest of the area is zero,
// so the table of a short input ends where the input does) and is also the contents at
// DATA_OFFSET, where the first file of a built image starts; every other byte is erased
// flash. Besides the sanitizers, each run checks what must hold for any image: the
// mount either works or says "invalid image", every failure is one of the messages the
// operation documents, the contents read through the page logic are the bytes on the
// device, and writing the FAT back changes only the slots it owns and mounts again to
// the same entries.
#include <cstring>
#include <memory>
#include <sstream>

#include "cmdline/cCmdLine.h"
#include "fuzz/fuzzSupport.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"
#include "tinyfs/crc16.h"
#include "tool/commands.h"

namespace {

// Contents read and verified per input, summed over the files: enough for files of
// several verification pieces, small enough that a table of large files stays fast.
constexpr uint64_t CONTENT_BUDGET = 256 * PAGE_SIZE;
// The capacity rule looks at every other file, so listing and checking a table costs
// the square of its length; the tool's commands run on tables up to this long only.
constexpr size_t TOOL_TABLE_LIMIT = 64;

constexpr uint32_t FIRST_FAT_PAGE = FAT_OFFSET / PAGE_SIZE;
constexpr uint32_t FAT_PAGES = (FAT_OFFSET + FAT_SIZE - 1) / PAGE_SIZE + 1 - FIRST_FAT_PAGE;
constexpr uint32_t FAT_WITHIN_PAGES = FAT_OFFSET - FIRST_FAT_PAGE * PAGE_SIZE;

struct cFixture {
    cScratchDevice oScratch;
    size_t iDataLength = 0; // bytes at DATA_OFFSET the previous input left
};

// Tool command lines: one with "--verbose" and "--force", one with neither.
class cToolOptions {
  public:
    explicit cToolOptions(bool bGiven) : oCmdLine(bGiven ? GIVEN : NONE, bGiven ? 3 : 1) {
        oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-v", "--verbose", ARG_NONE, "", ""));
        oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "", "--force", ARG_NONE, "", ""));
        require(oCmdLine.parse(), "tool options parse");
    }
    cCmdLine& get() { return oCmdLine; }

  private:
    static constexpr const char* GIVEN[] = {"brellix", "--verbose", "--force"};
    static constexpr const char* NONE[] = {"brellix"};
    cCmdLine oCmdLine;
};

bool fitsDevice(const cTinyFsFile& oFile) {
    return uint64_t(oFile.getOffset()) + oFile.getSize() <= DEVICE_SIZE;
}

std::string hexText(uint32_t iValue) {
    char aText[16];
    std::snprintf(aText, sizeof aText, "%x", iValue);
    return aText;
}

size_t countLines(const std::string& sText) {
    size_t iLines = 0;
    for (char c : sText)
        iLines += c == '\n';
    return iLines;
}

void checkEntries(const std::vector<cTinyFsFile>& lFiles, const std::vector<uint8_t>& lFat) {
    size_t iExpected = 0;
    while (iExpected < FAT_MAX_ENTRIES && lFat[(iExpected + 1) * FAT_SLOT_SIZE + SLOT_NAME_POS] != 0)
        ++iExpected;
    require(lFiles.size() == iExpected, "the table ends at the first slot starting with a zero byte");
    for (size_t i = 0; i < lFiles.size(); ++i) {
        const uint8_t* pSlot = lFat.data() + (i + 1) * FAT_SLOT_SIZE;
        const cTinyFsFile& oFile = lFiles[i];
        const size_t iNameLength = strnlen(reinterpret_cast<const char*>(pSlot), NAME_MAX);
        require(oFile.getName() == std::string(reinterpret_cast<const char*>(pSlot), iNameLength),
                "name loaded up to its zero byte, at most 15 bytes");
        require(oFile.getFlags() == loadLe32(pSlot + SLOT_FLAGS_POS) &&
                    oFile.getOffset() == loadLe32(pSlot + SLOT_OFFSET_POS) &&
                    oFile.getSize() == loadLe32(pSlot + SLOT_SIZE_POS) &&
                    oFile.getLoadAddress() == loadLe32(pSlot + SLOT_LOAD_ADDRESS_POS),
                "entry numbers loaded as stored");
    }
}

void checkFigures(cTinyFs& oFs) {
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        const uint32_t iCapacity = oFile.getCapacity();
        require(iCapacity == oFs.getCapacity(oFile, true), "a file's capacity is the boot-time rule");
        const uint32_t iPercent = oFile.getUsagePercent();
        if (iCapacity == 0)
            require(iPercent == 100, "a file without room counts as full");
        if (oFile.getSize() <= iCapacity)
            require(iPercent <= 100 && oFile.getBytesLeft() <= iCapacity,
                    "a consistent file is 0 to 100% used");
    }
}

void checkIntegrityMessages(cTinyFs& oFs) {
    for (const bool bBootTime : {false, true}) {
        std::string sExpected;
        for (const cTinyFsFile& oFile : oFs.getFiles()) {
            if (oFile.getSize() > oFs.getCapacity(oFile, bBootTime)) {
                sExpected = "Filesystem corrupt: File \"" + oFile.getName() + "\" too big!";
                break;
            }
        }
        try {
            oFs.checkIntegrity(bBootTime);
            require(sExpected.empty(), "integrity check passes a file larger than its capacity");
        } catch (const std::string& sError) {
            require(sError == sExpected, "integrity failure names the first file too big");
        }
    }
}

// Reads and verifies the contents of the files, as far as the budget goes, against the
// bytes taken straight from the device image.
void checkContents(cTinyFs& oFs, const cScratchDevice& oScratch) {
    uint64_t iBudget = CONTENT_BUDGET;
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        const std::string sName = oFile.getName();
        if (!fitsDevice(oFile)) {
            try {
                oFs.verifyChecksum(oFile);
                require(false, "a file past the device end verified");
            } catch (const std::string& sError) {
                require(sError == "file exceeds device (\"" + sName + "\")",
                        "message of a file past the end");
            }
            continue;
        }
        if (oFile.getSize() > iBudget)
            continue;
        iBudget -= oFile.getSize();

        const std::vector<uint8_t> lDirect = oScratch.get(oFile.getOffset(), oFile.getSize());
        std::vector<uint8_t> lRead(oFile.getSize());
        oFile.read(lRead.data(), oFile.getSize());
        require(lRead == lDirect, "file contents read through the pages are the bytes on the device");

        const uint16_t iComputed = crc16(lDirect.data(), lDirect.size());
        try {
            oFs.verifyChecksum(oFile);
            require(iComputed == oFile.getChecksum(), "verification passes wrong contents");
        } catch (const std::string& sError) {
            require(sError == "CheckSum error: 0x" + hexText(iComputed) + " != 0x" +
                                  hexText(oFile.getChecksum()) + "!",
                    "checksum message with both sums");
        }
    }
}

// The tool's listing and check on the same image, where they end normally: the listing
// ends the process on a corrupt file, and the check reads every checksummed file.
void runToolCommands(cTinyFs& oFs, const std::string& sPath) {
    static cToolOptions oPlain(false), oGiven(true);
    if (oFs.getFiles().size() > TOOL_TABLE_LIMIT)
        return;
    bool bConsistent = true;
    uint64_t iChecked = 0;
    size_t iLines = 0; // names may hold line breaks of their own
    for (const cTinyFsFile& oFile : oFs.getFiles()) {
        iLines += 1 + countLines(oFile.getName());
        bConsistent = bConsistent && oFile.getSize() <= oFile.getCapacity();
        if (oFile.getChecksum() != NO_CHECKSUM && oFile.getOffset() != 0 && fitsDevice(oFile))
            iChecked += oFile.getSize();
    }
    std::ostringstream oOut;
    cStreamRedirect oRedirect(std::cout, oOut.rdbuf());
    if (bConsistent) {
        for (cToolOptions* pOptions : {&oPlain, &oGiven}) {
            oOut.str("");
            listFiles(pOptions->get(), sPath);
            require(countLines(oOut.str()) == iLines, "one listing line per file");
        }
    }
    if (iChecked <= CONTENT_BUDGET) {
        try {
            checkFilesystem(oGiven.get(), sPath);
            require(bConsistent, "the forced check passes an inconsistent table");
        } catch (const std::string& sError) {
            require(sError.rfind("Filesystem corrupt: File \"", 0) == 0,
                    "the forced check fails only on capacity");
        }
    }
}

// The FAT area as writeFat must leave it: the header rewritten, each entry slot with
// its name padded with zeros, one zero end slot, everything after it untouched.
std::vector<uint8_t> expectedFat(const std::vector<uint8_t>& lFat, size_t iEntries) {
    std::vector<uint8_t> lExpected = lFat;
    if (iEntries == 0)
        return lExpected;
    std::memset(lExpected.data(), 0, FAT_SLOT_SIZE);
    storeLe32(lExpected.data() + HEADER_MAGIC_POS, TINYFS_MAGIC);
    for (size_t i = 1; i <= iEntries; ++i) {
        uint8_t* pName = lExpected.data() + i * FAT_SLOT_SIZE + SLOT_NAME_POS;
        const size_t iLength = strnlen(reinterpret_cast<const char*>(pName), NAME_MAX);
        std::memset(pName + iLength, 0, SLOT_NAME_FIELD - iLength);
    }
    if (iEntries < FAT_MAX_ENTRIES)
        std::memset(lExpected.data() + (iEntries + 1) * FAT_SLOT_SIZE, 0, FAT_SLOT_SIZE);
    return lExpected;
}

void checkWriteBack(cTinyFs& oFs, cMtdDevice& oDevice, const cScratchDevice& oScratch,
                    const std::vector<uint8_t>& lFat) {
    const std::vector<uint8_t> lBefore = oScratch.get(FIRST_FAT_PAGE * PAGE_SIZE, FAT_PAGES * PAGE_SIZE);
    oFs.writeFat();
    const std::vector<uint8_t> lAfter = oScratch.get(FIRST_FAT_PAGE * PAGE_SIZE, FAT_PAGES * PAGE_SIZE);
    require(oScratch.size() == off_t(DEVICE_SIZE), "the device keeps its size");

    std::vector<uint8_t> lExpected = lBefore;
    const std::vector<uint8_t> lFatAfter = expectedFat(lFat, oFs.getFiles().size());
    std::copy(lFatAfter.begin(), lFatAfter.end(), lExpected.begin() + FAT_WITHIN_PAGES);
    require(lAfter == lExpected, "FAT write-back changes only the slots it owns");

    cTinyFs oAgain(oDevice);
    const std::vector<cTinyFsFile>& lOld = oFs.getFiles();
    const std::vector<cTinyFsFile>& lNew = oAgain.getFiles();
    require(lOld.size() == lNew.size(), "the written table mounts with as many entries");
    for (size_t i = 0; i < lOld.size(); ++i) {
        require(lOld[i].getName() == lNew[i].getName() && lOld[i].getFlags() == lNew[i].getFlags() &&
                    lOld[i].getOffset() == lNew[i].getOffset() && lOld[i].getSize() == lNew[i].getSize() &&
                    lOld[i].getLoadAddress() == lNew[i].getLoadAddress(),
                "the written table mounts to the same entries");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize) {
    static cFixture oFixture;
    cScratchDevice& oScratch = oFixture.oScratch;

    std::vector<uint8_t> lFat(FAT_SIZE, 0);
    std::memcpy(lFat.data(), pData, std::min<size_t>(iSize, FAT_SIZE));
    oScratch.put(FAT_OFFSET, lFat);
    const size_t iDataLength = std::min<size_t>(iSize, DEVICE_SIZE - DATA_OFFSET);
    std::vector<uint8_t> lData(std::max(iDataLength, oFixture.iDataLength), ERASED);
    std::copy(pData, pData + iDataLength, lData.begin());
    oScratch.put(DATA_OFFSET, lData);
    oFixture.iDataLength = iDataLength;

    cMtdDevice oDevice(oScratch.path());
    std::unique_ptr<cTinyFs> pFs;
    try {
        pFs = std::make_unique<cTinyFs>(oDevice);
    } catch (const std::string& sError) {
        require(sError == "invalid image" && loadLe32(lFat.data() + HEADER_MAGIC_POS) != TINYFS_MAGIC,
                "only a wrong magic word refuses the mount");
        return 0;
    }
    require(loadLe32(lFat.data() + HEADER_MAGIC_POS) == TINYFS_MAGIC, "a wrong magic word mounts");

    checkEntries(pFs->getFiles(), lFat);
    checkFigures(*pFs);
    checkIntegrityMessages(*pFs);
    checkContents(*pFs, oScratch);
    runToolCommands(*pFs, oScratch.path());
    checkWriteBack(*pFs, oDevice, oScratch, lFat);
    return 0;
}
