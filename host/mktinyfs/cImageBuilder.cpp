// Image assembly: layout of the files, the checks that keep every image consistent
// for the tool's integrity check, and the image written out piece by piece.
#include "host/mktinyfs/cImageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/capacity.h"
#include "tinyfs/crc16.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/hexText.h"
#include "tinyfs/layout.h"

// Where the problems of a layout go: a build refuses with the first one met, a check of
// an image read back lists them all.
class cProblems {
  public:
    explicit cProblems(bool bEvery) : bEvery(bEvery) {}
    void add(const std::string& sProblem) {
        if (!bEvery)
            throw sProblem;
        lProblems.push_back(sProblem);
    }
    bool listsEvery() const { return bEvery; }
    std::vector<std::string> lProblems;

  private:
    bool bEvery;
};

namespace {

constexpr uint8_t ERASED_BYTE = 0xFF;

uint64_t roundUpToPage(uint64_t iPosition) {
    return (iPosition + PAGE_SIZE - 1) / PAGE_SIZE * PAGE_SIZE;
}

// What the layout knows of a file: its offset and the bytes it owns there, its contents
// and the extra room behind them.
struct cSpan {
    const cImageFile* pFile;
    uint64_t iContents;
    uint32_t iOffset = 0;
    uint64_t end() const { return iOffset + iContents + pFile->iExtraRoom; }
    // What the file keeps others from: an empty one still holds its offset.
    uint64_t extentEnd() const { return std::max(end(), uint64_t(iOffset) + 1); }
    std::string describe() const {
        return describeFile(pFile->sName, iOffset, iContents + pFile->iExtraRoom);
    }
};

void checkNames(const std::vector<cImageFile>& lFiles, cProblems& oProblems) {
    std::map<std::string, size_t> lSeen; // each name, and the file that has it first
    for (size_t i = 0; i < lFiles.size(); ++i) {
        const std::string& sName = lFiles[i].sName;
        if (sName.empty())
            oProblems.add("file " + std::to_string(i + 1) + " has an empty name");
        if (sName.size() > NAME_MAX)
            oProblems.add("file name " + quoteForMessage(sName) + " is too long (" +
                          std::to_string(sName.size()) + " bytes, at most " + std::to_string(NAME_MAX) + ")");
        if (sName.find('\0') != std::string::npos)
            oProblems.add("file name " + quoteForMessage(sName) + " contains a zero byte");
        const auto oFound = lSeen.emplace(sName, i);
        if (oFound.second)
            continue;
        // Files read back from an image are named by their slots, where a name alone
        // would not say which of its files to look at.
        const uint32_t iFirstSlot = lFiles[oFound.first->second].iSlot, iSlot = lFiles[i].iSlot;
        oProblems.add("duplicate file name " + quoteForMessage(sName) +
                      (iSlot != 0
                           ? " (slots " + std::to_string(iFirstSlot) + " and " + std::to_string(iSlot) + ")"
                           : ""));
    }
}

void checkBounds(const cSpan& oSpan, bool bDeviceId, cProblems& oProblems) {
    const uint32_t iLimit = bDeviceId ? DEVICE_ID_AREA : DEVICE_SIZE;
    const uint32_t iOffset = oSpan.iOffset;
    const std::optional<uint32_t> iRoomBeforeFat = roomBeforeFat(iOffset);
    if (iOffset >= FAT_OFFSET && iOffset < DATA_OFFSET)
        oProblems.add("file " + oSpan.describe() + " starts inside the FAT (" + hexNumber(FAT_OFFSET) + ".." +
                      hexNumber(DATA_OFFSET - 1) + ")");
    else if (iRoomBeforeFat && oSpan.end() > uint64_t(iOffset) + *iRoomBeforeFat)
        oProblems.add("file " + oSpan.describe() + " runs into the FAT at " + hexNumber(FAT_OFFSET));
    if (iOffset >= iLimit || oSpan.end() > iLimit)
        oProblems.add("file " + oSpan.describe() +
                      (bDeviceId ? " runs into the device-identifier record at " + hexNumber(DEVICE_ID_AREA)
                                 : " passes the device end at " + hexNumber(DEVICE_SIZE)));
}

// Offsets: explicit ones as given, the others packed behind their predecessor, never
// before the data area (a file placed below the FAT is not followed there) and never
// at the previous file's own offset: an empty file still owns up to the next page
// boundary, so rewriting it later cannot spill into its neighbour. Each
// file is checked as it is placed, so the next default offset stays within the device
// (when every problem is listed, one past 4 GiB is kept at the last offset there is).
void placeFiles(std::vector<cSpan>& lSpans, bool bDeviceId, cProblems& oProblems) {
    uint64_t iNext = DATA_OFFSET;
    for (cSpan& oSpan : lSpans) {
        oSpan.iOffset =
            oSpan.pFile->iOffset ? *oSpan.pFile->iOffset : uint32_t(std::min<uint64_t>(iNext, UINT32_MAX));
        checkBounds(oSpan, bDeviceId, oProblems);
        iNext = defaultOffsetAfter(oSpan.iOffset, oSpan.iContents, oSpan.pFile->iExtraRoom);
    }
}

// A file may not start inside another's contents and room, nor where another starts:
// files at one offset do not limit each other's capacity, so rewriting one of them, even
// an empty one, would overwrite the other. Sorted by offset, a file collides with the
// file that reaches furthest before it whenever it collides with any; the first such
// pair is two neighbours. A refusal names the pair as the arguments list them; a list
// of every problem names the file that holds the place first, as they lie on the
// device. Files that start past the end have their problem already.
void checkOverlaps(const std::vector<cSpan>& lSpans, uint32_t iLimit, cProblems& oProblems) {
    std::vector<size_t> lOrder;
    for (size_t i = 0; i < lSpans.size(); ++i) {
        if (lSpans[i].iOffset < iLimit)
            lOrder.push_back(i);
    }
    std::stable_sort(lOrder.begin(), lOrder.end(),
                     [&](size_t a, size_t b) { return lSpans[a].iOffset < lSpans[b].iOffset; });
    std::optional<size_t> iFurthest;
    for (const size_t i : lOrder) {
        if (iFurthest && lSpans[i].iOffset < lSpans[*iFurthest].extentEnd()) {
            const bool bAsListed = !oProblems.listsEvery() && i < *iFurthest;
            const cSpan& oFirst = lSpans[bAsListed ? i : *iFurthest];
            const cSpan& oSecond = lSpans[bAsListed ? *iFurthest : i];
            oProblems.add("files " + oFirst.describe() + " and " + oSecond.describe() + " overlap");
        }
        if (!iFurthest || lSpans[i].extentEnd() > lSpans[*iFurthest].extentEnd())
            iFurthest = i;
    }
}

// Every file with a load address fits its boot-time capacity, computed as the tool's
// integrity check does, signed comparisons included, so an image passes here exactly when
// it passes there. A file larger than its room on the medium has its problem already
// (an overlap, the FAT or the device end).
void checkLoadAddresses(const std::vector<cSpan>& lSpans, cProblems& oProblems) {
    std::vector<cPlacement> lTable;
    for (const cSpan& oSpan : lSpans)
        lTable.push_back(placementOf(oSpan.iOffset, oSpan.pFile->iLoadAddress, oSpan.pFile->iFlagBits));
    const cCapacities oCapacities = capacities(lTable);
    for (size_t i = 0; i < lSpans.size(); ++i) {
        const uint64_t iContents = lSpans[i].iContents;
        if (lTable[i].bLoadAddress && iContents > oCapacities.lBootTime[i] &&
            iContents <= oCapacities.lMedia[i])
            oProblems.add("file " + quoteForMessage(lSpans[i].pFile->sName) + " (" + hexNumber(iContents) +
                          " bytes) does not fit below the next higher load address: room for " +
                          hexNumber(oCapacities.lBootTime[i]) + " bytes from load address " +
                          hexNumber(lSpans[i].pFile->iLoadAddress));
    }
}

} // namespace

uint64_t defaultOffsetAfter(uint32_t iOffset, uint64_t iSize, uint32_t iExtraRoom) {
    const uint64_t iAfter = std::max<uint64_t>(uint64_t(iOffset) + iSize + iExtraRoom, uint64_t(iOffset) + 1);
    return std::max<uint64_t>(DATA_OFFSET, roundUpToPage(iAfter));
}

void cImageBuilder::addFile(const cImageFile& oFile) {
    lFiles.push_back(oFile);
    lSources.emplace_back();
}

void cImageBuilder::setContents(size_t iFile, uint64_t iSize, tReader fRead) {
    lSources.at(iFile) = {iSize, std::move(fRead)};
}

void cImageBuilder::setContentSize(size_t iFile, uint64_t iSize) {
    lSources.at(iFile) = {iSize, nullptr};
}

void cImageBuilder::setMac(const std::string& sMac, uint32_t iExtraRoom) {
    cImageFile oFile;
    oFile.sName = MAC_FILE_NAME;
    oFile.lContents.assign(sMac.begin(), sMac.end());
    oFile.iExtraRoom = iExtraRoom;
    oFile.bChecksum = false;
    addFile(oFile);
}

void cImageBuilder::setDeviceId(const std::string& sId) {
    sDeviceId = sId;
}

std::optional<std::string> cImageBuilder::deviceIdProblem(const std::string& sId) {
    if (sId.size() <= DEVICE_ID_MAX)
        return std::nullopt;
    return "device identifier " + quoteForMessage(sId) + " is too long (" + std::to_string(sId.size()) +
           " bytes, at most " + std::to_string(DEVICE_ID_MAX) + ")";
}

void cImageBuilder::checkEntries() const {
    cProblems oRefusal(false);
    checkEntries(oRefusal);
}

void cImageBuilder::checkEntries(cProblems& oProblems) const {
    if (lFiles.size() > FAT_MAX_ENTRIES)
        oProblems.add("too many files (" + std::to_string(lFiles.size()) + ", at most " +
                      std::to_string(FAT_MAX_ENTRIES) + ")");
    if (const std::optional<std::string> sProblem = sDeviceId ? deviceIdProblem(*sDeviceId) : std::nullopt)
        oProblems.add(*sProblem);
    checkNames(lFiles, oProblems);
}

uint64_t cImageBuilder::contentSize(size_t iFile) const {
    return lSources[iFile].iSize ? *lSources[iFile].iSize : lFiles[iFile].lContents.size();
}

std::vector<uint32_t> cImageBuilder::checkLayout(cProblems& oProblems) const {
    checkEntries(oProblems);
    std::vector<cSpan> lSpans;
    for (size_t i = 0; i < lFiles.size(); ++i)
        lSpans.push_back({&lFiles[i], contentSize(i)});
    placeFiles(lSpans, sDeviceId.has_value(), oProblems);
    checkOverlaps(lSpans, sDeviceId ? DEVICE_ID_AREA : DEVICE_SIZE, oProblems);
    checkLoadAddresses(lSpans, oProblems);
    std::vector<uint32_t> lOffsets;
    for (const cSpan& oSpan : lSpans)
        lOffsets.push_back(oSpan.iOffset);
    return lOffsets;
}

std::vector<std::string> cImageBuilder::listProblems() const {
    cProblems oProblems(true);
    checkLayout(oProblems);
    return oProblems.lProblems;
}

std::vector<uint32_t> cImageBuilder::getOffsets() const {
    cProblems oRefusal(false);
    return checkLayout(oRefusal);
}

// Puts the file's contents at iOffset through lBlock and returns their CRC-16.
uint16_t cImageBuilder::putContents(size_t iFile, uint32_t iOffset, std::vector<uint8_t>& lBlock,
                                    const tSink& fPut) const {
    const cSource& oSource = lSources[iFile];
    if (oSource.iSize && !oSource.fRead)
        throw std::string("*** BUG in cImageBuilder::write: a file with a size but no contents");
    if (!oSource.fRead) {
        const std::vector<uint8_t>& lContents = lFiles[iFile].lContents;
        if (!lContents.empty())
            fPut(iOffset, lContents.data(), lContents.size());
        return crc16(lContents.data(), lContents.size());
    }
    cCrc16Stream oCrc;
    const uint64_t iSize = *oSource.iSize;
    for (uint64_t iDone = 0; iDone < iSize;) {
        const size_t iPiece = size_t(std::min<uint64_t>(lBlock.size(), iSize - iDone));
        oSource.fRead(lBlock.data(), iPiece);
        fPut(uint32_t(iOffset + iDone), lBlock.data(), iPiece);
        oCrc.add(lBlock.data(), iPiece);
        iDone += iPiece;
    }
    return oCrc.finish();
}

void cImageBuilder::write(const tSink& fPut) const {
    const std::vector<uint32_t> lOffsets = getOffsets();
    std::vector<uint8_t> lBlock(PIECE_SIZE, ERASED_BYTE);
    for (uint32_t iAt = 0; iAt < DEVICE_SIZE; iAt += PIECE_SIZE)
        fPut(iAt, lBlock.data(), std::min<size_t>(PIECE_SIZE, DEVICE_SIZE - iAt));

    // The FAT as the tool writes it back; the slots after it stay erased.
    std::vector<cFatSlot> lEntries;
    for (size_t i = 0; i < lFiles.size(); ++i) {
        const cImageFile& oFile = lFiles[i];
        const uint16_t iContentsCrc = putContents(i, lOffsets[i], lBlock, fPut);
        const uint16_t iStored = oFile.iChecksum   ? *oFile.iChecksum
                                 : oFile.bChecksum ? iContentsCrc
                                                   : NO_CHECKSUM;
        lEntries.push_back({oFile.sName, uint32_t(iStored) << CHECKSUM_SHIFT | oFile.iFlagBits, lOffsets[i],
                            uint32_t(contentSize(i)), oFile.iLoadAddress});
    }
    const std::vector<uint8_t> lFat = layOutFat(lEntries);
    fPut(FAT_OFFSET, lFat.data(), lFat.size());

    if (sDeviceId) {
        const std::vector<uint8_t> lRecord = encodeDeviceId(*sDeviceId);
        fPut(DEVICE_ID_AREA, lRecord.data(), lRecord.size());
    }
}

std::vector<uint8_t> cImageBuilder::build() const {
    std::vector<uint8_t> lImage(DEVICE_SIZE);
    write([&](uint32_t iAt, const uint8_t* pFrom, size_t iLength) {
        std::copy(pFrom, pFrom + iLength, lImage.begin() + iAt);
    });
    return lImage;
}
