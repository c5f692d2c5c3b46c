// What an image holds: the table through its view, with rooms and recorded checksums, the
// contents' checksums, and the verdict of the integrity check that brellix --check runs.
#include "host/mktinyfs/imageReport.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <sys/mman.h>
#include <unistd.h>

#include "host/mktinyfs/cJsonWriter.h"
#include "host/mktinyfs/manifestWords.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/crc16.h"
#include "tinyfs/fatTable.h"
#include "tinyfs/hexText.h"
#include "tinyfs/integrityCheck.h"

namespace {

constexpr int FLAG_DIGITS = 4;
constexpr int MAGIC_DIGITS = 8;
constexpr int TABLE_ROW = 160;

// Checksums by offset and length: slots of one range share theirs, computed once, so a
// table of 1023 slots over one range of 8 MiB sums 8 MiB, not 8 GiB.
using tChecksums = std::map<std::pair<uint32_t, uint32_t>, uint16_t>;

cSlotReport slotReport(const std::vector<uint8_t>& lImage, const cTableEntry& oRead, tChecksums& lChecksums) {
    cSlotReport oSlot;
    static_cast<cTableEntry&>(oSlot) = oRead;
    const uint32_t iOffset = oRead.oEntry.iOffset;
    if (uint64_t(iOffset) + oRead.oEntry.iSize <= DEVICE_SIZE) {
        const auto oKnown = lChecksums.emplace(std::make_pair(iOffset, oRead.iInside), 0);
        if (oKnown.second)
            oKnown.first->second = crc16(lImage.data() + iOffset, oRead.iInside);
        oSlot.iComputed = oKnown.first->second;
    }
    return oSlot;
}

// "agrees", "differs", "none" (nothing recorded), "outside" (passes the device end).
const char* checksumState(const cSlotReport& oSlot) {
    if (!oSlot.iComputed)
        return "outside";
    if (oSlot.iRecorded == NO_CHECKSUM)
        return "none";
    return *oSlot.iComputed == oSlot.iRecorded ? "agrees" : "differs";
}

// What brellix --check prints last on this image, on the same device; contents whose
// checksum the report found right are not read again.
void judge(cMtdDevice& oDevice, cImageReport& oReport) {
    oReport.oVerdict = judgeDevice(oDevice, [&](size_t i) {
        const cSlotReport& oSlot = oReport.lFiles[i];
        return oSlot.iComputed && *oSlot.iComputed == oSlot.iRecorded;
    });
}

// One line of the slot table, of the given column texts.
std::string columns(const std::vector<std::string>& lTexts) {
    char aRow[TABLE_ROW];
    std::snprintf(aRow, sizeof aRow, "%4s  %-10s %10s %10s  %-16s %-10s  %-6s %-8s %-8s ", lTexts[0].c_str(),
                  lTexts[1].c_str(), lTexts[2].c_str(), lTexts[3].c_str(), lTexts[4].c_str(),
                  lTexts[5].c_str(), lTexts[6].c_str(), lTexts[7].c_str(), lTexts[8].c_str());
    return aRow + lTexts[9] + "\n";
}

const std::vector<std::string> HEADINGS = {"slot", "offset", "size",     "room",     "flags",
                                           "load", "sum",    "computed", "checksum", "name"};

std::string row(const cSlotReport& oSlot) {
    const cFatSlot& oEntry = oSlot.oEntry;
    return columns({std::to_string(oSlot.iSlot), hexNumber(oEntry.iOffset), std::to_string(oEntry.iSize),
                    oSlot.iBootRoom ? std::to_string(*oSlot.iBootRoom) : "-", flagsText(oEntry.iFlags),
                    hexNumber(oEntry.iLoadAddress), checksumText(oSlot.iRecorded),
                    checksumText(oSlot.iComputed), checksumState(oSlot), quoteWord(oEntry.sName)});
}

} // namespace

std::string flagsText(uint32_t iFlags) {
    uint32_t iBits = iFlags & FLAG_BITS_MASK;
    std::string sText = hexNumber(iBits, FLAG_DIGITS);
    for (const cFlagName& oName : FLAG_NAMES) {
        if (iBits & oName.iBit)
            sText += std::string(" ") + oName.sLetters;
        iBits &= ~oName.iBit;
    }
    return iBits ? sText + " +" + hexNumber(iBits) : sText;
}

std::string checksumText(std::optional<uint16_t> iChecksum) {
    return iChecksum ? hexNumber(*iChecksum, FLAG_DIGITS) : "-";
}

std::string bytesText(const std::optional<std::string>& sBytes) {
    return sBytes ? quoteWord(*sBytes) : "none";
}

std::vector<uint8_t> imageBuffer() {
    std::vector<uint8_t> lBuffer;
    lBuffer.reserve(DEVICE_SIZE);
    // Asked before the memory is touched; small pages are what a system without huge
    // pages gives anyway, so a refusal changes nothing.
    const uintptr_t iPage = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t iStart = (uintptr_t(lBuffer.data()) + iPage - 1) / iPage * iPage;
    ::madvise(reinterpret_cast<void*>(iStart), DEVICE_SIZE - (iStart - uintptr_t(lBuffer.data())),
              MADV_HUGEPAGE);
    lBuffer.resize(DEVICE_SIZE);
    return lBuffer;
}

void readDevice(cMtdDevice& oDevice, const tPiece& fPiece) {
    std::vector<uint8_t> lPiece(PIECE_SIZE);
    for (uint32_t iDone = 0; iDone < DEVICE_SIZE;) {
        const uint32_t iLength = std::min(PIECE_SIZE, DEVICE_SIZE - iDone);
        oDevice.read(iDone, lPiece.data(), iLength);
        fPiece(iDone, lPiece.data(), iLength);
        iDone += iLength;
    }
}

cImageReport reportImage(cMtdDevice& oDevice) {
    cImageReport oReport;
    oReport.lImage = imageBuffer();
    readDevice(oDevice, [&](uint32_t iOffset, const uint8_t* pPiece, uint32_t iLength) {
        std::memcpy(oReport.lImage.data() + iOffset, pPiece, iLength);
    });
    const std::vector<uint8_t>& lImage = oReport.lImage;
    const cFatTable oTable = readFatTable(lImage.data() + FAT_OFFSET);
    oReport.iMagic = oTable.iMagic;
    oReport.bValidHeader = oTable.bValidHeader;
    oReport.iEndSlot = oTable.iEndSlot;
    tChecksums lChecksums;
    for (const cTableEntry& oRead : oTable.lEntries)
        oReport.lFiles.push_back(slotReport(lImage, oRead, lChecksums));
    for (const cTableEntry& oRead : oTable.lStrays)
        oReport.lStrays.push_back(slotReport(lImage, oRead, lChecksums));
    for (const cSlotReport& oSlot : oReport.lFiles) {
        if (oSlot.oEntry.sName != MAC_FILE_NAME)
            continue;
        oReport.sMac.emplace();
        for (uint32_t i = 0; i < std::min(oSlot.iInside, MAC_TEXT_LENGTH) && lImage[oSlot.oEntry.iOffset + i];
             ++i)
            *oReport.sMac += char(lImage[oSlot.oEntry.iOffset + i]);
        const cFatSlot& oEntry = oSlot.oEntry;
        try {
            readMacAddress(cTinyFsFile(oDevice, oEntry.sName, oEntry.iOffset, oEntry.iSize, oEntry.iFlags,
                                       oEntry.iLoadAddress));
        } catch (const std::string& sMessage) {
            oReport.sMacFailure = sMessage;
        }
        break;
    }
    std::string sId;
    if (decodeDeviceId(lImage.data() + DEVICE_ID_AREA, sId))
        oReport.sDeviceId = sId;
    judge(oDevice, oReport);
    return oReport;
}

std::string infoText(const cImageReport& oReport) {
    std::string sText = "header: " + std::string(oReport.bValidHeader ? "valid" : "invalid") +
                        " (magic word " + hexNumber(oReport.iMagic, MAGIC_DIGITS) + ")\n";
    const size_t iFiles = oReport.lFiles.size();
    sText += "table: " + std::to_string(iFiles) + (iFiles == 1 ? " file, " : " files, ") +
             (oReport.iEndSlot < FAT_SLOTS ? "ends at slot " + std::to_string(oReport.iEndSlot) : "full") +
             "\n";
    const std::string sHeading = columns(HEADINGS);
    if (!oReport.lFiles.empty())
        sText += sHeading;
    for (const cSlotReport& oSlot : oReport.lFiles)
        sText += row(oSlot);
    if (!oReport.lStrays.empty())
        sText += "entry-shaped slots after the end of the table:\n" + sHeading;
    for (const cSlotReport& oSlot : oReport.lStrays)
        sText += row(oSlot);
    sText += "mac address: " +
             (oReport.sMacFailure
                  ? std::string("unreadable (brellix --get-mac: ") + FATAL_PREFIX + *oReport.sMacFailure + ")"
                  : bytesText(oReport.sMac)) +
             "\n";
    sText += "device id: " + bytesText(oReport.sDeviceId) + "\n";
    return sText + "check: " + oReport.oVerdict.line() + "\n";
}

void putSlot(cJsonWriter& oJson, const cSlotReport& oSlot) {
    const cFatSlot& oEntry = oSlot.oEntry;
    oJson.open('{').key("slot").number(oSlot.iSlot).textAndHex("name", oEntry.sName);
    oJson.key("offset").number(oEntry.iOffset).key("size").number(oEntry.iSize);
    oJson.key("room").number(oSlot.iBootRoom ? std::optional<uint64_t>(*oSlot.iBootRoom) : std::nullopt);
    oJson.key("flags").number(oEntry.iFlags & FLAG_BITS_MASK).key("flag_names").open('[');
    for (const cFlagName& oName : FLAG_NAMES) {
        if (oEntry.iFlags & oName.iBit)
            oJson.text(oName.sWord);
    }
    oJson.close(']').key("load_address").number(oEntry.iLoadAddress);
    oJson.key("checksum_recorded").number(oSlot.iRecorded);
    oJson.key("checksum_computed")
        .number(oSlot.iComputed ? std::optional<uint64_t>(*oSlot.iComputed) : std::nullopt);
    oJson.key("checksum").text(checksumState(oSlot)).close('}');
}

void putBytes(cJsonWriter& oJson, const char* sKey, const std::optional<std::string>& sBytes) {
    oJson.key(sKey);
    if (sBytes)
        oJson.open('{').textAndHex("text", *sBytes).close('}');
    else
        oJson.null();
}

std::string infoJson(const cImageReport& oReport) {
    cJsonWriter oJson;
    oJson.open('{').key("schema").number(REPORT_SCHEMA);
    oJson.key("header").open('{').key("valid").boolean(oReport.bValidHeader);
    oJson.key("magic").number(oReport.iMagic).close('}');
    oJson.key("end_slot").number(oReport.iEndSlot).key("files").open('[');
    for (const cSlotReport& oSlot : oReport.lFiles)
        putSlot(oJson, oSlot);
    oJson.close(']').key("after_end").open('[');
    for (const cSlotReport& oSlot : oReport.lStrays)
        putSlot(oJson, oSlot);
    oJson.close(']');
    if (oReport.sMacFailure)
        oJson.key("mac_address").open('{').key("error").text(*oReport.sMacFailure).close('}');
    else
        putBytes(oJson, "mac_address", oReport.sMac);
    putBytes(oJson, "device_id", oReport.sDeviceId);
    oJson.key("check")
        .open('{')
        .key("clean")
        .boolean(oReport.oVerdict.bClean)
        .key("message")
        .text(oReport.oVerdict.sMessage);
    return oJson.close('}').close('}').str();
}
