// Image assembly: layout of the files, the checks that keep every image consistent
// for the tool's integrity check, and the image written out piece by piece.
#include "host/mktinyfs/cImageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "host/mktinyfs/cImageOutput.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/capacity.h"
#include "tinyfs/crc16.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/hexText.h"
#include "tinyfs/layout.h"

namespace {

constexpr uint8_t ERASED_BYTE = 0xFF;
constexpr unsigned char FIRST_PRINTABLE = 0x20;
constexpr unsigned char DELETE_BYTE = 0x7F;
constexpr int ESCAPE_DIGITS = 2;

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
    std::string describe() const {
        return describeFile(pFile->sName, iOffset, iContents + pFile->iExtraRoom);
    }
};

void checkNames(const std::vector<cImageFile>& lFiles) {
    std::set<std::string> lSeen;
    for (size_t i = 0; i < lFiles.size(); ++i) {
        const std::string& sName = lFiles[i].sName;
        if (sName.empty())
            throw "file " + std::to_string(i + 1) + " has an empty name";
        if (sName.size() > NAME_MAX)
            throw "file name " + quoteForMessage(sName) + " is too long (" + std::to_string(sName.size()) +
                " bytes, at most " + std::to_string(NAME_MAX) + ")";
        if (sName.find('\0') != std::string::npos)
            throw "file name " + quoteForMessage(sName) + " contains a zero byte";
        if (!lSeen.insert(sName).second)
            throw "duplicate file name " + quoteForMessage(sName);
    }
}

void checkBounds(const cSpan& oSpan, bool bDeviceId) {
    const uint32_t iLimit = bDeviceId ? DEVICE_ID_AREA : DEVICE_SIZE;
    const uint32_t iOffset = oSpan.iOffset;
    const std::optional<uint32_t> iRoomBeforeFat = roomBeforeFat(iOffset);
    if (iOffset >= FAT_OFFSET && iOffset < DATA_OFFSET)
        throw "file " + oSpan.describe() + " starts inside the FAT (" + hexForMessage(FAT_OFFSET) + ".." +
            hexForMessage(DATA_OFFSET - 1) + ")";
    if (iRoomBeforeFat && oSpan.end() > uint64_t(iOffset) + *iRoomBeforeFat)
        throw "file " + oSpan.describe() + " runs into the FAT at " + hexForMessage(FAT_OFFSET);
    if (iOffset >= iLimit || oSpan.end() > iLimit)
        throw "file " + oSpan.describe() +
            (bDeviceId ? " runs into the device-identifier record at " + hexForMessage(DEVICE_ID_AREA)
                       : " passes the device end at " + hexForMessage(DEVICE_SIZE));
}

// Offsets: explicit ones as given, the others packed behind their predecessor, never
// before the data area (a file placed below the FAT is not followed there) and never
// at the previous file's own offset: an empty file still owns up to the next page
// boundary, so rewriting it later cannot spill into its neighbour. Each
// file is checked as it is placed, so the next default offset stays within the device.
void placeFiles(std::vector<cSpan>& lSpans, bool bDeviceId) {
    uint64_t iNext = DATA_OFFSET;
    for (cSpan& oSpan : lSpans) {
        oSpan.iOffset = oSpan.pFile->iOffset ? *oSpan.pFile->iOffset : uint32_t(iNext);
        checkBounds(oSpan, bDeviceId);
        iNext = defaultOffsetAfter(oSpan.iOffset, oSpan.iContents, oSpan.pFile->iExtraRoom);
    }
}

// A file may not start inside another's contents and room, nor where another starts:
// files at one offset do not limit each other's capacity, so rewriting one of them, even
// an empty one, would overwrite the other.
void checkOverlaps(const std::vector<cSpan>& lSpans) {
    std::vector<size_t> lOrder(lSpans.size());
    for (size_t i = 0; i < lOrder.size(); ++i)
        lOrder[i] = i;
    std::stable_sort(lOrder.begin(), lOrder.end(),
                     [&](size_t a, size_t b) { return lSpans[a].iOffset < lSpans[b].iOffset; });
    // Sorted by offset, a file that collides with any later one collides with the next.
    for (size_t k = 1; k < lOrder.size(); ++k) {
        const cSpan& oLow = lSpans[lOrder[k - 1]];
        const cSpan& oHigh = lSpans[lOrder[k]];
        if (oHigh.iOffset < std::max(oLow.end(), uint64_t(oLow.iOffset) + 1)) {
            const size_t iFirst = std::min(lOrder[k - 1], lOrder[k]),
                         iSecond = std::max(lOrder[k - 1], lOrder[k]);
            throw "files " + lSpans[iFirst].describe() + " and " + lSpans[iSecond].describe() + " overlap";
        }
    }
}

// Every file with a load address fits its boot-time capacity, computed as the tool's
// integrity check does, signed comparisons included, so an image passes here exactly when
// it passes there.
void checkLoadAddresses(const std::vector<cSpan>& lSpans) {
    std::vector<cPlacement> lTable;
    for (const cSpan& oSpan : lSpans)
        lTable.push_back(
            {oSpan.iOffset, oSpan.pFile->iLoadAddress, (oSpan.pFile->iFlagBits & FLAG_LOAD_ADDRESS) != 0});
    const std::vector<uint32_t> lCapacities = capacities(lTable).lBootTime;
    for (size_t i = 0; i < lSpans.size(); ++i) {
        if (lTable[i].bLoadAddress && lSpans[i].iContents > lCapacities[i])
            throw "file " + quoteForMessage(lSpans[i].pFile->sName) + " (" +
                hexForMessage(lSpans[i].iContents) +
                " bytes) does not fit below the next higher load address: room for " +
                hexForMessage(lCapacities[i]) + " bytes from load address " +
                hexForMessage(lSpans[i].pFile->iLoadAddress);
    }
}

} // namespace

std::string quoteForMessage(const std::string& sText) {
    std::string sOut = "\"";
    for (const char c : sText) {
        const unsigned char iByte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            sOut += '\\';
            sOut += c;
        } else if (iByte < FIRST_PRINTABLE || iByte == DELETE_BYTE) {
            sOut += "\\x" + hexDigits(iByte, ESCAPE_DIGITS);
        } else {
            sOut += c;
        }
    }
    return sOut + "\"";
}

std::string describeFile(const std::string& sName, uint64_t iOffset, uint64_t iBytes) {
    return quoteForMessage(sName) + " (" + hexForMessage(iOffset) + " + " + hexForMessage(iBytes) + ")";
}

std::string hexForMessage(uint64_t iValue) {
    return "0x" + hexDigits(iValue);
}

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

void cImageBuilder::checkEntries() const {
    if (lFiles.size() > FAT_MAX_ENTRIES)
        throw "too many files (" + std::to_string(lFiles.size()) + ", at most " +
            std::to_string(FAT_MAX_ENTRIES) + ")";
    if (sDeviceId && sDeviceId->size() > DEVICE_ID_MAX)
        throw "device identifier " + quoteForMessage(*sDeviceId) + " is too long (" +
            std::to_string(sDeviceId->size()) + " bytes, at most " + std::to_string(DEVICE_ID_MAX) + ")";
    checkNames(lFiles);
}

uint64_t cImageBuilder::contentSize(size_t iFile) const {
    return lSources[iFile].fRead ? lSources[iFile].iSize : lFiles[iFile].lContents.size();
}

std::vector<uint32_t> cImageBuilder::getOffsets() const {
    checkEntries();
    std::vector<cSpan> lSpans;
    for (size_t i = 0; i < lFiles.size(); ++i)
        lSpans.push_back({&lFiles[i], contentSize(i)});
    placeFiles(lSpans, sDeviceId.has_value());
    checkOverlaps(lSpans);
    checkLoadAddresses(lSpans);
    std::vector<uint32_t> lOffsets;
    for (const cSpan& oSpan : lSpans)
        lOffsets.push_back(oSpan.iOffset);
    return lOffsets;
}

// Puts the file's contents at iOffset through lBlock and returns their CRC-16.
uint16_t cImageBuilder::putContents(size_t iFile, uint32_t iOffset, std::vector<uint8_t>& lBlock,
                                    const tSink& fPut) const {
    const cSource& oSource = lSources[iFile];
    if (!oSource.fRead) {
        const std::vector<uint8_t>& lContents = lFiles[iFile].lContents;
        if (!lContents.empty())
            fPut(iOffset, lContents.data(), lContents.size());
        return crc16(lContents.data(), lContents.size());
    }
    uint16_t iCrc = CRC16_START;
    for (uint64_t iDone = 0; iDone < oSource.iSize;) {
        const size_t iPiece = size_t(std::min<uint64_t>(lBlock.size(), oSource.iSize - iDone));
        oSource.fRead(lBlock.data(), iPiece);
        fPut(uint32_t(iOffset + iDone), lBlock.data(), iPiece);
        iCrc = crc16Update(lBlock.data(), iPiece, iCrc);
        iDone += iPiece;
    }
    return oSource.iSize == 0 ? crc16(nullptr, 0) : iCrc;
}

void cImageBuilder::write(const tSink& fPut) const {
    const std::vector<uint32_t> lOffsets = getOffsets();
    std::vector<uint8_t> lBlock(IMAGE_IO_BLOCK, ERASED_BYTE);
    for (uint32_t iAt = 0; iAt < DEVICE_SIZE; iAt += IMAGE_IO_BLOCK)
        fPut(iAt, lBlock.data(), std::min<size_t>(IMAGE_IO_BLOCK, DEVICE_SIZE - iAt));

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

void cImageBuilder::writeTo(cImageOutput& oOutput) const {
    write([&](uint32_t iAt, const uint8_t* pFrom, size_t iLength) { oOutput.write(iAt, pFrom, iLength); });
    oOutput.commit();
}
