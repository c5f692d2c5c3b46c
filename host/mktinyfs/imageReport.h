// What mktinyfs --info tells of an image: the table's header, every slot of the table
// with the room the capacity rule gives it and its contents' checksum, the entry-shaped
// slots after the end, the board settings, and the verdict of brellix's integrity check;
// as text for people and as one JSON document for programs (schema 1).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tinyfs/fatTable.h"
#include "tinyfs/integrityCheck.h"

class cJsonWriter;

constexpr uint64_t REPORT_SCHEMA = 1;

// A slot as the table view shows it, with the checksum of its contents.
struct cSlotReport : cTableEntry {
    std::optional<uint16_t> iComputed; // none when the contents pass the device end
};

struct cImageReport {
    std::vector<uint8_t> lImage; // every byte of the device
    uint32_t iMagic = 0;
    bool bValidHeader = false;
    uint32_t iEndSlot = 0;            // FAT_SLOTS when the table is full
    std::vector<cSlotReport> lFiles;  // the table, in slot order
    std::vector<cSlotReport> lStrays; // entry-shaped slots after the end slot
    std::optional<std::string> sMac;  // its first bytes, as brellix --get-mac reads them
    // What brellix --get-mac fails with instead of showing sMac (a file shorter than an
    // address, or one past the device end), without "Fatal: ".
    std::optional<std::string> sMacFailure;
    std::optional<std::string> sDeviceId;
    cVerdict oVerdict; // what brellix --check ends with
};

// DEVICE_SIZE zero bytes, for a whole image: in memory that faults in as a few huge pages
// where the system offers them, instead of thousands of small ones.
std::vector<uint8_t> imageBuffer();

// Reads all DEVICE_SIZE bytes of the device in pieces of at most PIECE_SIZE bytes, handing
// each to fPiece with its offset: no more memory than a piece unless fPiece keeps them.
using tPiece = std::function<void(uint32_t iOffset, const uint8_t* pPiece, uint32_t iLength)>;
void readDevice(cMtdDevice& oDevice, const tPiece& fPiece);

// Reads the whole device under the lock its owner holds, then looks at it as brellix does.
// Throws only what reading the device throws.
cImageReport reportImage(cMtdDevice& oDevice);

std::string infoText(const cImageReport& oReport);
std::string infoJson(const cImageReport& oReport);

// The pieces --diff shows the same way.
std::string flagsText(uint32_t iFlags); // "0x0006 L X"
std::string checksumText(std::optional<uint16_t> iChecksum);
void putSlot(cJsonWriter& oJson, const cSlotReport& oSlot);
void putBytes(cJsonWriter& oJson, const char* sKey, const std::optional<std::string>& sBytes);
std::string bytesText(const std::optional<std::string>& sBytes); // quoted as in a manifest, or "none"
