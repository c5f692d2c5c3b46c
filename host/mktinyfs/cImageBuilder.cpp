// Image assembly: layout of the files, the checks that keep every image consistent
// for the tool's integrity check, and the atomic write to disk.
#include "host/mktinyfs/cImageBuilder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

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

// End of the bytes a file owns: its contents and the extra room behind them.
uint64_t reservedEnd(const cImageFile& oFile, uint32_t iOffset) {
    return uint64_t(iOffset) + oFile.lContents.size() + oFile.iExtraRoom;
}

std::string describe(const cImageFile& oFile, uint32_t iOffset) {
    return quoteForMessage(oFile.sName) + " (" + hexText(iOffset) + " + " +
           hexText(oFile.lContents.size() + uint64_t(oFile.iExtraRoom)) + ")";
}

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

void checkBounds(const cImageFile& oFile, uint32_t iOffset, bool bDeviceId) {
    const uint32_t iLimit = bDeviceId ? DEVICE_ID_AREA : DEVICE_SIZE;
    const uint64_t iEnd = reservedEnd(oFile, iOffset);
    if (iOffset >= FAT_OFFSET && iOffset < DATA_OFFSET)
        throw "file " + describe(oFile, iOffset) + " starts inside the FAT (" + hexText(FAT_OFFSET) + ".." +
            hexText(DATA_OFFSET - 1) + ")";
    if (iOffset < FAT_OFFSET && iEnd > FAT_OFFSET)
        throw "file " + describe(oFile, iOffset) + " runs into the FAT at " + hexText(FAT_OFFSET);
    if (iOffset >= iLimit || iEnd > iLimit)
        throw "file " + describe(oFile, iOffset) +
            (bDeviceId ? " runs into the device-identifier record at " + hexText(DEVICE_ID_AREA)
                       : " passes the device end at " + hexText(DEVICE_SIZE));
}

// Offsets: explicit ones as given, the others packed behind their predecessor, never
// before the data area (a file placed below the FAT is not followed there) and never
// at the previous file's own offset: an empty file still owns up to the next page
// boundary, so rewriting it later cannot spill into its neighbour. Each
// file is checked as it is placed, so the next default offset stays within the device.
std::vector<uint32_t> placeFiles(const std::vector<cImageFile>& lFiles, bool bDeviceId) {
    std::vector<uint32_t> lOffsets;
    uint64_t iNext = DATA_OFFSET;
    for (const cImageFile& oFile : lFiles) {
        const uint32_t iOffset = oFile.iOffset ? *oFile.iOffset : uint32_t(iNext);
        checkBounds(oFile, iOffset, bDeviceId);
        lOffsets.push_back(iOffset);
        const uint64_t iAfter = std::max<uint64_t>(reservedEnd(oFile, iOffset), uint64_t(iOffset) + 1);
        iNext = std::max<uint64_t>(DATA_OFFSET, roundUpToPage(iAfter));
    }
    return lOffsets;
}

// A file may not start inside another's contents and room, nor where another starts:
// files at one offset do not limit each other's capacity, so rewriting one of them, even
// an empty one, would overwrite the other.
void checkOverlaps(const std::vector<cImageFile>& lFiles, const std::vector<uint32_t>& lOffsets) {
    std::vector<size_t> lOrder(lFiles.size());
    for (size_t i = 0; i < lOrder.size(); ++i)
        lOrder[i] = i;
    std::stable_sort(lOrder.begin(), lOrder.end(),
                     [&](size_t a, size_t b) { return lOffsets[a] < lOffsets[b]; });
    // Sorted by offset, a file that collides with any later one collides with the next.
    for (size_t k = 1; k < lOrder.size(); ++k) {
        const size_t iLow = lOrder[k - 1], iHigh = lOrder[k];
        const uint64_t iLowEnd =
            std::max(reservedEnd(lFiles[iLow], lOffsets[iLow]), uint64_t(lOffsets[iLow]) + 1);
        if (lOffsets[iHigh] < iLowEnd) {
            const size_t iFirst = std::min(iLow, iHigh), iSecond = std::max(iLow, iHigh);
            throw "files " + describe(lFiles[iFirst], lOffsets[iFirst]) + " and " +
                describe(lFiles[iSecond], lOffsets[iSecond]) + " overlap";
        }
    }
}

// Every file with a load address fits its boot-time capacity, computed as the tool's
// integrity check does, signed comparisons included, so an image passes here exactly when
// it passes there.
void checkLoadAddresses(const std::vector<cImageFile>& lFiles, const std::vector<uint32_t>& lOffsets) {
    std::vector<cPlacement> lTable;
    for (size_t i = 0; i < lFiles.size(); ++i)
        lTable.push_back(
            {lOffsets[i], lFiles[i].iLoadAddress, (lFiles[i].iFlagBits & FLAG_LOAD_ADDRESS) != 0});
    const std::vector<uint32_t> lCapacities = capacities(lTable).lBootTime;
    for (size_t i = 0; i < lFiles.size(); ++i) {
        if (lTable[i].bLoadAddress && lFiles[i].lContents.size() > lCapacities[i])
            throw "file " + quoteForMessage(lFiles[i].sName) + " (" + hexText(lFiles[i].lContents.size()) +
                " bytes) does not fit below the next higher load address: room for " +
                hexText(lCapacities[i]) + " bytes from load address " + hexText(lFiles[i].iLoadAddress);
    }
}

uint16_t storedChecksum(const cImageFile& oFile) {
    if (!oFile.bChecksum)
        return NO_CHECKSUM;
    return crc16(oFile.lContents.data(), oFile.lContents.size());
}

// The temporary image beside the target: removed again unless it was renamed.
class cTempFile {
  public:
    explicit cTempFile(const std::string& sTarget) : sTarget(sTarget), sPath(sTarget + ".XXXXXX") {
        iFd = ::mkstemp(sPath.data());
        if (iFd < 0)
            fail("cannot create a temporary file beside ");
    }
    ~cTempFile() {
        if (iFd >= 0)
            ::close(iFd);
        if (!bRenamed)
            ::unlink(sPath.c_str());
    }
    cTempFile(const cTempFile&) = delete;
    cTempFile& operator=(const cTempFile&) = delete;

    void write(const std::vector<uint8_t>& lBytes) {
        if (!writeAll(iFd, lBytes.data(), lBytes.size()))
            fail("cannot write ");
    }

    // Gives the image the permissions of a newly created file, makes it durable and
    // puts it in place of the target in one step.
    void commit() {
        const mode_t iMask = ::umask(0);
        ::umask(iMask);
        if (::fchmod(iFd, NEW_FILE_MODE & ~iMask) != 0 || ::fsync(iFd) != 0)
            fail("cannot write ");
        const int iFd0 = iFd;
        iFd = -1;
        if (::close(iFd0) != 0)
            fail("cannot write ");
        if (::rename(sPath.c_str(), sTarget.c_str()) != 0)
            fail("cannot replace ");
        bRenamed = true;
    }

  private:
    [[noreturn]] void fail(const std::string& sWhat) const {
        throw sWhat + quoteForMessage(sTarget) + ": " + std::strerror(errno);
    }

    std::string sTarget;
    std::string sPath;
    int iFd = -1;
    bool bRenamed = false;
};

} // namespace

std::string hexText(uint64_t iValue) {
    return "0x" + hexDigits(iValue);
}

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

void cImageBuilder::addFile(const cImageFile& oFile) {
    lFiles.push_back(oFile);
}

void cImageBuilder::setMac(const std::string& sMac, uint32_t iExtraRoom) {
    cImageFile oFile;
    oFile.sName = MAC_FILE_NAME;
    oFile.lContents.assign(sMac.begin(), sMac.end());
    oFile.iExtraRoom = iExtraRoom;
    oFile.bChecksum = false;
    lFiles.push_back(oFile);
}

void cImageBuilder::setDeviceId(const std::string& sId) {
    sDeviceId = sId;
}

std::vector<uint32_t> cImageBuilder::getOffsets() const {
    if (lFiles.size() > FAT_MAX_ENTRIES)
        throw "too many files (" + std::to_string(lFiles.size()) + ", at most " +
            std::to_string(FAT_MAX_ENTRIES) + ")";
    if (sDeviceId && sDeviceId->size() > DEVICE_ID_MAX)
        throw "device identifier " + quoteForMessage(*sDeviceId) + " is too long (" +
            std::to_string(sDeviceId->size()) + " bytes, at most " + std::to_string(DEVICE_ID_MAX) + ")";
    checkNames(lFiles);
    const std::vector<uint32_t> lOffsets = placeFiles(lFiles, sDeviceId.has_value());
    checkOverlaps(lFiles, lOffsets);
    checkLoadAddresses(lFiles, lOffsets);
    return lOffsets;
}

std::vector<uint8_t> cImageBuilder::build() const {
    const std::vector<uint32_t> lOffsets = getOffsets();
    std::vector<uint8_t> lImage(DEVICE_SIZE, ERASED_BYTE);

    // The FAT as the tool writes it back; the slots after it stay erased.
    std::vector<cFatSlot> lEntries;
    for (size_t i = 0; i < lFiles.size(); ++i) {
        const cImageFile& oFile = lFiles[i];
        const uint32_t iFlags = uint32_t(storedChecksum(oFile)) << CHECKSUM_SHIFT | oFile.iFlagBits;
        lEntries.push_back(
            {oFile.sName, iFlags, lOffsets[i], uint32_t(oFile.lContents.size()), oFile.iLoadAddress});
        std::copy(oFile.lContents.begin(), oFile.lContents.end(), lImage.begin() + lOffsets[i]);
    }
    const std::vector<uint8_t> lFat = layOutFat(lEntries);
    std::copy(lFat.begin(), lFat.end(), lImage.begin() + FAT_OFFSET);

    if (sDeviceId) {
        const std::vector<uint8_t> lRecord = encodeDeviceId(*sDeviceId);
        std::copy(lRecord.begin(), lRecord.end(), lImage.begin() + DEVICE_ID_AREA);
    }
    return lImage;
}

void cImageBuilder::writeTo(const std::string& sPath) const {
    const std::vector<uint8_t> lImage = build();
    cTempFile oTemp(sPath);
    oTemp.write(lImage);
    oTemp.commit();
}
