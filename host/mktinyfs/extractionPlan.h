// What --extract makes of an image: every file brellix sees (and, when salvaging, the
// entries a cut table left after its end slot), the mktinyfs arguments that build each
// of them again, what mktinyfs would refuse, and how far the rebuild matches the image.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "tinyfs/fatTable.h"

// Copies iLength bytes of the image at iOffset, which all lie inside the device.
using tImageReader = std::function<void(uint32_t iOffset, uint8_t* pDest, uint32_t iLength)>;

// A slot as the table view shows it, with what the extraction makes of it.
struct cExtractedFile : cTableEntry {
    bool bSalvaged = false; // found after the end slot
    bool bExtracted = true; // false when it would pass the budget of extracted bytes
    bool bMac = false;      // said again by --mac
    std::string sPath;      // its contents' file, relative to the manifest; empty: none
    cImageFile oArguments;  // its arguments, contents left out
};

struct cExtraction {
    std::vector<cExtractedFile> lFiles;
    std::optional<std::string> sDeviceId;
    std::optional<std::string> sMac;
    std::vector<std::string> lProblems; // what keeps the image from being rebuilt as it is
    uint32_t iCutSlots = 0;             // entry-shaped slots after the end slot, not salvaged
    uint32_t iNotCarried = 0;           // bytes a rebuild has different, when it can be made
    std::vector<std::string> lWords;    // the manifest's arguments in order
    std::string sManifest;              // its text
};

// Feeds the contents of oFile that lie inside the device to fTake(done, bytes, length), in
// pieces of at most PIECE_SIZE bytes.
template <typename tTake>
void readContents(const tImageReader& fRead, const cExtractedFile& oFile, tTake fTake) {
    std::vector<uint8_t> lPiece(std::min(PIECE_SIZE, oFile.iInside));
    for (uint32_t iDone = 0; iDone < oFile.iInside;) {
        const uint32_t iLength = std::min(PIECE_SIZE, oFile.iInside - iDone);
        fRead(oFile.oEntry.iOffset + iDone, lPiece.data(), iLength);
        fTake(iDone, lPiece.data(), iLength);
        iDone += iLength;
    }
}

// Never holds more than the table, and for the rebuild that is compared with the image
// the files' contents (at most one device's worth, as they cannot overlap) and one image.
cExtraction planExtraction(const tImageReader& fRead, bool bSalvage, const std::string& sImageName);

// The file name, safe in any folder, of the contents of the entry in iSlot.
std::string contentsFileName(uint32_t iSlot, const std::string& sName);
