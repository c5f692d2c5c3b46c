// What mktinyfs --diff tells of two images: per file by name, what only one holds, what
// changed and what was renamed with its contents; the board settings; and the bytes that
// differ outside every file, the table and the device-identifier record, as ranges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/mktinyfs/imageReport.h"

struct cFileChange {
    const cSlotReport* pOld = nullptr; // none: only in the new image
    const cSlotReport* pNew = nullptr; // none: only in the old image
    std::vector<std::string> lChanges; // "name", "contents", "slot", "offset", "room", "flags", ...
    uint32_t iFirstDifference = 0;     // with "contents": the first byte of the contents that differs
};

// Bytes iFrom..iTo (inclusive) of an area, iDiffer of them different; differences less
// than a page apart share a range.
struct cByteRange {
    const char* sArea; // "outside"; "table" or "record" only when no field shows the difference
    uint32_t iFrom;
    uint32_t iTo;
    uint32_t iDiffer;
};

struct cImageDiff {
    bool bHeader = false;
    std::vector<cFileChange> lFiles;
    bool bMac = false;
    bool bDeviceId = false;
    std::vector<cByteRange> lRanges;
    bool isSame() const { return !bHeader && lFiles.empty() && !bMac && !bDeviceId && lRanges.empty(); }
};

// The differences of two reports, which must outlive it.
cImageDiff diffImages(const cImageReport& oOld, const cImageReport& oNew);

std::string diffText(const cImageReport& oOld, const cImageReport& oNew, const cImageDiff& oDiff);
std::string diffJson(const cImageReport& oOld, const cImageReport& oNew, const cImageDiff& oDiff);
