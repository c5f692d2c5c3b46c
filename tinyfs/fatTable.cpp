// Reading a FAT: header, entries with their rooms, end slot and what lies after it.
#include "tinyfs/fatTable.h"

namespace {

// Fills the entry in place: a table of a thousand entries moves none of them.
void readSlot(cTableEntry& oRead, const uint8_t* pFat, uint32_t iSlot) {
    oRead.iSlot = iSlot;
    oRead.oEntry = decodeSlot(pFat + iSlot * FAT_SLOT_SIZE);
    const cFatSlot& oEntry = oRead.oEntry;
    oRead.iInside = bytesInside(oEntry.iOffset, oEntry.iSize);
    oRead.iRecorded = recordedChecksum(oEntry.iFlags);
    oRead.oPlacement = placementOf(oEntry.iOffset, oEntry.iLoadAddress, oEntry.iFlags);
}

} // namespace

cFatTable readFatTable(const uint8_t* pFat) {
    cFatTable oTable;
    oTable.iMagic = loadLe32(pFat + HEADER_MAGIC_POS);
    oTable.bValidHeader = oTable.iMagic == TINYFS_MAGIC;
    // The table ends at the first slot whose name starts with a zero byte. Found first, so
    // that a table of a thousand entries is read without growing its vectors.
    uint32_t iEnd = 1;
    while (iEnd < FAT_SLOTS && pFat[iEnd * FAT_SLOT_SIZE + SLOT_NAME_POS] != 0)
        ++iEnd;
    oTable.iEndSlot = iEnd;
    oTable.lEntries.reserve(iEnd - 1);
    std::vector<cPlacement> lPlacements;
    lPlacements.reserve(iEnd - 1);
    for (uint32_t iSlot = 1; iSlot < iEnd; ++iSlot) {
        readSlot(oTable.lEntries.emplace_back(), pFat, iSlot);
        lPlacements.push_back(oTable.lEntries.back().oPlacement);
    }
    // Offsets and load addresses are what the table holds: the rooms last as long as it.
    const cCapacities oCapacities = capacities(lPlacements);
    for (size_t i = 0; i < oTable.lEntries.size(); ++i) {
        oTable.lEntries[i].iMediaRoom = oCapacities.lMedia[i];
        oTable.lEntries[i].iBootRoom = oCapacities.lBootTime[i];
    }
    // A torn page can end the table early; the entries after the cut still look like
    // entries, while slots no table ever reached are erased or zero.
    for (uint32_t iAfter = iEnd + 1; iAfter < FAT_SLOTS; ++iAfter) {
        if (isEntryShaped(pFat + iAfter * FAT_SLOT_SIZE))
            readSlot(oTable.lStrays.emplace_back(), pFat, iAfter);
    }
    return oTable;
}
