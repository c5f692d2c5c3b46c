// Planning an extraction: reading the table as brellix does, finding what mktinyfs would
// refuse, choosing the fewest arguments that place every file where it lies, and
// rebuilding the image from them to count what they do not carry.
#include "host/mktinyfs/extractionPlan.h"

#include <algorithm>

#include "host/mktinyfs/manifestWords.h"
#include "host/mktinyfs/messageText.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/crc16.h"
#include "tinyfs/fatTable.h"
#include "tinyfs/hexText.h"

namespace {

constexpr uint64_t EXTRACT_BUDGET = 2 * uint64_t(DEVICE_SIZE); // overlapping files repeat bytes
constexpr int SLOT_DIGITS = 4;
// The rebuilt image is compared piece by piece, and the last piece ends with the record.
static_assert(DEVICE_SIZE % PIECE_SIZE == 0, "the device is a whole number of pieces");

std::string describe(const cFatSlot& oEntry) {
    return describeFile(oEntry.sName, oEntry.iOffset, oEntry.iSize);
}

// One past the last byte the file holds; an empty file still holds its offset.
uint64_t extentEnd(const cFatSlot& oEntry) {
    return uint64_t(oEntry.iOffset) + std::max<uint32_t>(oEntry.iSize, 1);
}

class cPlanner {
  public:
    cPlanner(const tImageReader& fRead, cExtraction& oPlan) : fRead(fRead), oPlan(oPlan) {}

    void readTable(bool bSalvage) {
        std::vector<uint8_t> lFat(FAT_SIZE);
        fRead(FAT_OFFSET, lFat.data(), FAT_SIZE);
        const cFatTable oTable = readFatTable(lFat.data());
        if (!oTable.bValidHeader)
            problem("the table has no valid header (brellix says \"invalid image\"); a rebuild writes one");
        for (const cTableEntry& oEntry : oTable.lEntries)
            add(oEntry, false);
        if (bSalvage) {
            for (const cTableEntry& oEntry : oTable.lStrays)
                add(oEntry, true);
        } else
            oPlan.iCutSlots = uint32_t(oTable.lStrays.size());
    }

    void readDeviceId() {
        uint8_t aArea[DEVICE_ID_AREA_SIZE];
        fRead(DEVICE_ID_AREA, aArea, DEVICE_ID_AREA_SIZE);
        std::string sId;
        if (!decodeDeviceId(aArea, sId))
            return;
        // Contents over the area carry its bytes themselves; mktinyfs puts no record there.
        for (const cExtractedFile& oFile : oPlan.lFiles) {
            if (oFile.oEntry.iOffset < DEVICE_SIZE && extentEnd(oFile.oEntry) > DEVICE_ID_AREA)
                return;
        }
        if (const std::optional<std::string> sProblem = cImageBuilder::deviceIdProblem(sId))
            problem(*sProblem);
        oPlan.sDeviceId = sId;
    }

    // What mktinyfs would refuse of the table as it is: every file at its offset with its
    // size. The record is kept only where no contents reach its area (readDeviceId), so
    // the files' bounds are the device's, and the builder is not told of it.
    void checkLayout() {
        cImageBuilder oLayout;
        for (size_t i = 0; i < oPlan.lFiles.size(); ++i) {
            const cExtractedFile& oFile = oPlan.lFiles[i];
            cImageFile oArguments;
            oArguments.sName = oFile.oEntry.sName;
            oArguments.iOffset = oFile.oEntry.iOffset;
            oArguments.iLoadAddress = oFile.oEntry.iLoadAddress;
            oArguments.iFlagBits = uint16_t(oFile.oEntry.iFlags & FLAG_BITS_MASK);
            oArguments.iSlot = oFile.iSlot;
            oLayout.addFile(oArguments);
            oLayout.setContentSize(i, oFile.oEntry.iSize);
        }
        for (const std::string& sProblem : oLayout.listProblems())
            problem(sProblem);
    }

    // Offsets only where the default placement would put the file elsewhere, and room
    // where it carries the next file of the table to its place.
    void chooseArguments(const cCapacities& oCapacities) {
        uint64_t iNext = DATA_OFFSET;
        std::vector<cExtractedFile>& lFiles = oPlan.lFiles;
        for (size_t i = 0; i < lFiles.size(); ++i) {
            cExtractedFile& oFile = lFiles[i];
            const cFatSlot& oEntry = oFile.oEntry;
            cImageFile& oArguments = oFile.oArguments;
            oArguments.sName = oEntry.sName;
            if (oEntry.iOffset != iNext)
                oArguments.iOffset = oEntry.iOffset;
            if (i + 1 < lFiles.size())
                oArguments.iExtraRoom =
                    roomBefore(oFile, lFiles[i + 1].oEntry.iOffset, oCapacities.lMedia[i]);
            oArguments.iLoadAddress = oEntry.iLoadAddress;
            oArguments.iFlagBits = uint16_t(oEntry.iFlags & FLAG_BITS_MASK);
            const uint16_t iStored = oFile.iRecorded;
            if (oFile.bExtracted && iStored == contentsChecksum(oFile))
                ; // what mktinyfs records by itself
            else if (iStored == NO_CHECKSUM)
                oArguments.bChecksum = false;
            else
                oArguments.iChecksum = iStored;
            iNext = defaultOffsetAfter(oEntry.iOffset, oFile.iInside, oArguments.iExtraRoom);
            if (oFile.bExtracted && oFile.iInside > 0)
                oFile.sPath = contentsFileName(oFile.iSlot, oEntry.sName);
        }
        chooseMac();
    }

    void writeManifest(const std::string& sImageName) {
        std::string& sText = oPlan.sManifest;
        sText = "# mktinyfs arguments that build the image " + quoteForMessage(sImageName) +
                " again, written by mktinyfs --extract.\n"
                "# Rebuild: mktinyfs NEW-IMAGE @manifest (paths are relative to this folder).\n";
        if (!oPlan.lProblems.empty())
            sText += "# mktinyfs refuses to rebuild the image as it is:\n";
        for (const std::string& sProblem : oPlan.lProblems)
            sText += "#   " + sProblem + "\n";
        if (oPlan.sDeviceId)
            line({"--device-id", *oPlan.sDeviceId}, true);
        bool bSalvageNoted = false;
        for (const cExtractedFile& oFile : oPlan.lFiles) {
            if (oFile.bSalvaged && !bSalvageNoted)
                sText += "# Entries found after the end of the table (--salvage):\n";
            bSalvageNoted = bSalvageNoted || oFile.bSalvaged;
            if (!oFile.bMac)
                line(fileWords(oFile), oFile.bExtracted);
        }
        if (oPlan.sMac)
            line({"--mac", *oPlan.sMac}, true);
    }

    // Builds the image from the arguments and compares it with the original.
    void rebuild() {
        cImageBuilder oBuilder;
        for (const cExtractedFile& oFile : oPlan.lFiles) {
            if (oFile.bMac)
                continue;
            cImageFile oArguments = oFile.oArguments;
            oArguments.lContents.resize(oFile.iInside);
            readContents(fRead, oFile, [&](uint32_t iDone, const uint8_t* pBytes, uint32_t iLength) {
                std::copy(pBytes, pBytes + iLength, oArguments.lContents.begin() + iDone);
            });
            oBuilder.addFile(oArguments);
        }
        if (oPlan.sMac)
            oBuilder.setMac(*oPlan.sMac);
        if (oPlan.sDeviceId)
            oBuilder.setDeviceId(*oPlan.sDeviceId);
        std::vector<uint8_t> lImage;
        try {
            lImage = oBuilder.build();
        } catch (const std::string& sRefusal) {
            problem(sRefusal);
            return;
        }
        // What brellix sees of the table must come back exactly; anything else is a fault here.
        for (size_t i = 0; i < oPlan.lFiles.size(); ++i) {
            const cFatSlot oBuilt = decodeSlot(lImage.data() + FAT_OFFSET + (i + 1) * FAT_SLOT_SIZE);
            const cFatSlot& oEntry = oPlan.lFiles[i].oEntry;
            if (oBuilt.sName != oEntry.sName || oBuilt.iFlags != oEntry.iFlags ||
                oBuilt.iOffset != oEntry.iOffset || oBuilt.iSize != oEntry.iSize ||
                oBuilt.iLoadAddress != oEntry.iLoadAddress)
                throw "*** BUG in the extraction: slot " + std::to_string(oPlan.lFiles[i].iSlot) +
                    " would be rebuilt differently";
        }
        std::vector<uint8_t> lPiece(PIECE_SIZE);
        for (uint32_t iDone = 0; iDone < DEVICE_SIZE; iDone += PIECE_SIZE) {
            fRead(iDone, lPiece.data(), PIECE_SIZE);
            if (!std::equal(lPiece.begin(), lPiece.end(), lImage.begin() + iDone)) {
                for (uint32_t i = 0; i < PIECE_SIZE; ++i)
                    oPlan.iNotCarried += lPiece[i] != lImage[iDone + i];
            }
        }
        std::string sOriginal, sRebuilt;
        const bool bOriginal = decodeDeviceId(lPiece.data() + PIECE_SIZE - DEVICE_ID_AREA_SIZE, sOriginal);
        const bool bRebuilt = decodeDeviceId(lImage.data() + DEVICE_ID_AREA, sRebuilt);
        if (bOriginal != bRebuilt || sOriginal != sRebuilt)
            problem("the device-identifier record " + quoteForMessage(sOriginal) +
                    " lies partly under a file's contents: mktinyfs cannot write both");
    }

  private:
    void problem(const std::string& sProblem) { oPlan.lProblems.push_back(sProblem); }

    void add(const cTableEntry& oRead, bool bSalvaged) {
        cExtractedFile oFile;
        static_cast<cTableEntry&>(oFile) = oRead;
        oFile.bSalvaged = bSalvaged;
        iExtracted += oFile.iInside;
        if (iExtracted > EXTRACT_BUDGET) {
            oFile.bExtracted = false;
            problem("file " + describe(oFile.oEntry) +
                    " is not extracted: the files before it already hold twice the device's bytes");
        }
        oPlan.lFiles.push_back(oFile);
    }

    static uint32_t roomBefore(const cExtractedFile& oFile, uint32_t iNextOffset, uint32_t iCapacity) {
        const cFatSlot& oEntry = oFile.oEntry;
        const uint64_t iEnd = uint64_t(oEntry.iOffset) + oFile.iInside;
        if (oEntry.iOffset < DATA_OFFSET || iNextOffset <= oEntry.iOffset || iNextOffset < iEnd ||
            iCapacity != iNextOffset - oEntry.iOffset ||
            defaultOffsetAfter(oEntry.iOffset, oFile.iInside, 0) == iNextOffset)
            return 0;
        const uint32_t iRoom = uint32_t(iNextOffset - iEnd);
        return defaultOffsetAfter(oEntry.iOffset, oFile.iInside, iRoom) == iNextOffset ? iRoom : 0;
    }

    uint16_t contentsChecksum(const cExtractedFile& oFile) const {
        cCrc16Stream oCrc;
        readContents(fRead, oFile,
                     [&](uint32_t, const uint8_t* pBytes, uint32_t iLength) { oCrc.add(pBytes, iLength); });
        return oCrc.finish();
    }

    // mktinyfs --mac appends "mac-address" last, right behind the file before it, with 17
    // bytes, no checksum, no flags and no load address; any other is an ordinary file.
    void chooseMac() {
        if (oPlan.lFiles.empty())
            return;
        cExtractedFile& oLast = oPlan.lFiles.back();
        const cFatSlot& oEntry = oLast.oEntry;
        if (oLast.bSalvaged || oEntry.sName != MAC_FILE_NAME || oEntry.iSize != MAC_TEXT_LENGTH ||
            oLast.iInside != MAC_TEXT_LENGTH || oEntry.iFlags != 0 || oEntry.iLoadAddress != 0 ||
            oLast.oArguments.iOffset || !oLast.bExtracted)
            return;
        std::string sMac(MAC_TEXT_LENGTH, '\0');
        fRead(oEntry.iOffset, reinterpret_cast<uint8_t*>(sMac.data()), MAC_TEXT_LENGTH);
        if (sMac.find('\0') != std::string::npos)
            return;
        oLast.bMac = true;
        oLast.sPath.clear();
        oPlan.sMac = sMac;
    }

    static std::vector<std::string> fileWords(const cExtractedFile& oFile) {
        const cImageFile& oArguments = oFile.oArguments;
        const std::string& sName = oArguments.sName;
        // "=" splits NAME=PATH, and "--" or "@" in front would make it an option or an @FILE.
        const bool bNameOption =
            sName.find('=') != std::string::npos || sName.rfind("--", 0) == 0 || sName.rfind('@', 0) == 0;
        std::vector<std::string> lWords = {(bNameOption ? std::string() : sName) + "=" + oFile.sPath};
        const auto add = [&](const std::string& sOption, std::optional<uint64_t> iValue = std::nullopt) {
            lWords.push_back(sOption);
            if (iValue)
                lWords.push_back(hexNumber(*iValue));
        };
        if (bNameOption)
            lWords.insert(lWords.end(), {"--name", sName});
        if (oArguments.iOffset)
            add("--offset", *oArguments.iOffset);
        if (oArguments.iExtraRoom != 0)
            add("--room", oArguments.iExtraRoom);
        const uint16_t iFlagBits = oArguments.iFlagBits;
        if (iFlagBits & FLAG_LOAD_ADDRESS)
            add("--load", oArguments.iLoadAddress);
        else if (oArguments.iLoadAddress != 0)
            add("--raw-load", oArguments.iLoadAddress);
        if (iFlagBits & FLAG_X)
            add("--x");
        if (iFlagBits & FLAG_AX)
            add("--ax");
        if (const uint16_t iOthers = iFlagBits & ~(FLAG_LOAD_ADDRESS | FLAG_X | FLAG_AX))
            add("--flags", iOthers);
        if (oArguments.iChecksum)
            add("--checksum", *oArguments.iChecksum);
        else if (!oArguments.bChecksum)
            add("--no-checksum");
        return lWords;
    }

    // A line of words; one left out of the rebuild is there as a comment.
    void line(const std::vector<std::string>& lWords, bool bUsed) {
        std::string sLine = bUsed ? "" : "# ";
        for (const std::string& sWord : lWords)
            sLine += quoteWord(sWord) + (&sWord == &lWords.back() ? "\n" : " ");
        oPlan.sManifest += sLine;
        if (bUsed)
            oPlan.lWords.insert(oPlan.lWords.end(), lWords.begin(), lWords.end());
    }

    const tImageReader& fRead;
    cExtraction& oPlan;
    uint64_t iExtracted = 0;
};

} // namespace

std::string contentsFileName(uint32_t iSlot, const std::string& sName) {
    std::string sFile = std::to_string(iSlot);
    sFile.insert(0, size_t(std::max<int>(0, SLOT_DIGITS - int(sFile.size()))), '0');
    sFile += '-';
    for (const char c : sName) {
        const bool bSafe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '_' || c == '-';
        sFile += bSafe ? c : '_';
    }
    return sFile;
}

cExtraction planExtraction(const tImageReader& fRead, bool bSalvage, const std::string& sImageName) {
    cExtraction oPlan;
    cPlanner oPlanner(fRead, oPlan);
    oPlanner.readTable(bSalvage);
    oPlanner.readDeviceId();
    oPlanner.checkLayout();
    // The table of the rebuild: with --salvage the entries after the end slot join it.
    std::vector<cPlacement> lTable;
    for (const cExtractedFile& oFile : oPlan.lFiles)
        lTable.push_back(oFile.oPlacement);
    const cCapacities oCapacities = capacities(lTable);
    oPlanner.chooseArguments(oCapacities);
    if (oPlan.lProblems.empty())
        oPlanner.rebuild();
    oPlanner.writeManifest(sImageName);
    return oPlan;
}
