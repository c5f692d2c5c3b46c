// Planning an extraction: reading the table as brellix does, finding what mktinyfs would
// refuse, choosing the fewest arguments that place every file where it lies, and
// rebuilding the image from them to count what they do not carry.
#include "host/mktinyfs/extractionPlan.h"

#include <algorithm>
#include <map>

#include "host/mktinyfs/manifestWords.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/capacity.h"
#include "tinyfs/crc16.h"
#include "tinyfs/fatTable.h"

namespace {

constexpr uint64_t EXTRACT_BUDGET = 2 * uint64_t(DEVICE_SIZE); // overlapping files repeat bytes
constexpr int SLOT_DIGITS = 4;
// The rebuilt image is compared piece by piece, and the last piece ends with the record.
static_assert(DEVICE_SIZE % EXTRACT_PIECE == 0, "the device is a whole number of pieces");

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
        if (sId.size() > DEVICE_ID_MAX)
            problem("device identifier " + quoteForMessage(sId) + " is too long (" +
                    std::to_string(sId.size()) + " bytes, at most " + std::to_string(DEVICE_ID_MAX) + ")");
        oPlan.sDeviceId = sId;
    }

    void checkNames() {
        std::map<std::string, const cExtractedFile*> lSeen;
        for (const cExtractedFile& oFile : oPlan.lFiles) {
            const auto oFound = lSeen.emplace(oFile.oEntry.sName, &oFile);
            if (!oFound.second)
                problem("duplicate file name " + quoteForMessage(oFile.oEntry.sName) + " (slots " +
                        std::to_string(oFound.first->second->iSlot) + " and " + std::to_string(oFile.iSlot) +
                        ")");
        }
    }

    void checkPlaces() {
        for (const cExtractedFile& oFile : oPlan.lFiles) {
            const cFatSlot& oEntry = oFile.oEntry;
            const uint64_t iEnd = uint64_t(oEntry.iOffset) + oEntry.iSize;
            if (oEntry.iOffset >= FAT_OFFSET && oEntry.iOffset < DATA_OFFSET)
                problem("file " + describe(oEntry) + " starts inside the FAT (" + hexForMessage(FAT_OFFSET) +
                        ".." + hexForMessage(DATA_OFFSET - 1) + ")");
            else if (const std::optional<uint32_t> iRoom = roomBeforeFat(oEntry.iOffset);
                     iRoom && iEnd > uint64_t(oEntry.iOffset) + *iRoom)
                problem("file " + describe(oEntry) + " runs into the FAT at " + hexForMessage(FAT_OFFSET));
            if (oEntry.iOffset >= DEVICE_SIZE || iEnd > DEVICE_SIZE)
                problem("file " + describe(oEntry) + " passes the device end at " +
                        hexForMessage(DEVICE_SIZE));
        }
        // By offset, a file that starts before the furthest end so far overlaps its holder.
        // Files that start past the device end have their line already.
        std::vector<const cExtractedFile*> lByOffset;
        for (const cExtractedFile& oFile : oPlan.lFiles) {
            if (oFile.oEntry.iOffset < DEVICE_SIZE)
                lByOffset.push_back(&oFile);
        }
        std::stable_sort(lByOffset.begin(), lByOffset.end(),
                         [](const cExtractedFile* a, const cExtractedFile* b) {
                             return a->oEntry.iOffset < b->oEntry.iOffset;
                         });
        const cExtractedFile* pFurthest = nullptr;
        for (const cExtractedFile* pFile : lByOffset) {
            if (pFurthest && pFile->oEntry.iOffset < extentEnd(pFurthest->oEntry))
                problem("files " + describe(pFurthest->oEntry) + " and " + describe(pFile->oEntry) +
                        " overlap");
            if (!pFurthest || extentEnd(pFile->oEntry) > extentEnd(pFurthest->oEntry))
                pFurthest = pFile;
        }
    }

    void checkLoadAddresses(const cCapacities& oCapacities) {
        for (size_t i = 0; i < oPlan.lFiles.size(); ++i) {
            const cFatSlot& oEntry = oPlan.lFiles[i].oEntry;
            if ((oEntry.iFlags & FLAG_LOAD_ADDRESS) && oEntry.iSize <= oCapacities.lMedia[i] &&
                oEntry.iSize > oCapacities.lBootTime[i])
                problem("file " + quoteForMessage(oEntry.sName) + " (" + hexForMessage(oEntry.iSize) +
                        " bytes) does not fit below the next higher load address: room for " +
                        hexForMessage(oCapacities.lBootTime[i]) + " bytes from load address " +
                        hexForMessage(oEntry.iLoadAddress));
        }
    }

    // Offsets only where the default placement would put the file elsewhere, and room
    // where it carries the next file of the table to its place.
    void chooseArguments(const cCapacities& oCapacities) {
        uint64_t iNext = DATA_OFFSET;
        std::vector<cExtractedFile>& lFiles = oPlan.lFiles;
        for (size_t i = 0; i < lFiles.size(); ++i) {
            cExtractedFile& oFile = lFiles[i];
            const cFatSlot& oEntry = oFile.oEntry;
            cImageFile& oArguments = oFile.oFile;
            oArguments.sName = oEntry.sName;
            if (oEntry.iOffset != iNext)
                oArguments.iOffset = oEntry.iOffset;
            if (i + 1 < lFiles.size())
                oArguments.iExtraRoom =
                    roomBefore(oFile, lFiles[i + 1].oEntry.iOffset, oCapacities.lMedia[i]);
            oArguments.iLoadAddress = oEntry.iLoadAddress;
            oArguments.iFlagBits = uint16_t(oEntry.iFlags & FLAG_BITS_MASK);
            const uint16_t iStored = uint16_t(oEntry.iFlags >> CHECKSUM_SHIFT);
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
            cImageFile oArguments = oFile.oFile;
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
        std::vector<uint8_t> lPiece(EXTRACT_PIECE);
        for (uint32_t iDone = 0; iDone < DEVICE_SIZE; iDone += EXTRACT_PIECE) {
            fRead(iDone, lPiece.data(), EXTRACT_PIECE);
            if (!std::equal(lPiece.begin(), lPiece.end(), lImage.begin() + iDone)) {
                for (uint32_t i = 0; i < EXTRACT_PIECE; ++i)
                    oPlan.iNotCarried += lPiece[i] != lImage[iDone + i];
            }
        }
        std::string sOriginal, sRebuilt;
        const bool bOriginal = decodeDeviceId(lPiece.data() + EXTRACT_PIECE - DEVICE_ID_AREA_SIZE, sOriginal);
        const bool bRebuilt = decodeDeviceId(lImage.data() + DEVICE_ID_AREA, sRebuilt);
        if (bOriginal != bRebuilt || sOriginal != sRebuilt)
            problem("the device-identifier record " + quoteForMessage(sOriginal) +
                    " lies partly under a file's contents: mktinyfs cannot write both");
    }

  private:
    void problem(const std::string& sProblem) { oPlan.lProblems.push_back(sProblem); }

    void add(const cTableEntry& oRead, bool bSalvaged) {
        cExtractedFile oFile;
        oFile.iSlot = oRead.iSlot;
        oFile.oEntry = oRead.oEntry;
        oFile.bSalvaged = bSalvaged;
        const uint32_t iOffset = oFile.oEntry.iOffset;
        oFile.iInside = iOffset >= DEVICE_SIZE ? 0 : std::min(oFile.oEntry.iSize, DEVICE_SIZE - iOffset);
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
        if (oFile.iInside == 0)
            return crc16(nullptr, 0);
        uint16_t iCrc = CRC16_START;
        readContents(fRead, oFile, [&](uint32_t, const uint8_t* pBytes, uint32_t iLength) {
            iCrc = crc16Update(pBytes, iLength, iCrc);
        });
        return iCrc;
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
            oLast.oFile.iOffset || !oLast.bExtracted)
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
        const cImageFile& oArguments = oFile.oFile;
        const std::string& sName = oArguments.sName;
        // "=" splits NAME=PATH, and "--" or "@" in front would make it an option or an @FILE.
        const bool bNameOption =
            sName.find('=') != std::string::npos || sName.rfind("--", 0) == 0 || sName.rfind('@', 0) == 0;
        std::vector<std::string> lWords = {(bNameOption ? std::string() : sName) + "=" + oFile.sPath};
        const auto add = [&](const std::string& sOption, std::optional<uint64_t> iValue = std::nullopt) {
            lWords.push_back(sOption);
            if (iValue)
                lWords.push_back(hexForMessage(*iValue));
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
    oPlanner.checkNames();
    oPlanner.checkPlaces();
    std::vector<cPlacement> lTable;
    for (const cExtractedFile& oFile : oPlan.lFiles)
        lTable.push_back({oFile.oEntry.iOffset, oFile.oEntry.iLoadAddress,
                          (oFile.oEntry.iFlags & FLAG_LOAD_ADDRESS) != 0});
    const cCapacities oCapacities = capacities(lTable);
    oPlanner.checkLoadAddresses(oCapacities);
    oPlanner.chooseArguments(oCapacities);
    if (oPlan.lProblems.empty())
        oPlanner.rebuild();
    oPlanner.writeManifest(sImageName);
    return oPlan;
}
