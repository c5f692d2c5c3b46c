// Reading a FAT: header, entries with their rooms, end slot and what lies after it.
#include "tinyfs/fatTable.h"

namespace {

cTableEntry readSlot(const uint8_t* pFat, uint32_t iSlot) {
    cTableEntry oRead;
    oRead.iSlot = iSlot;
    oRead.oEntry = decodeSlot(pFat + iSlot * FAT_SLOT_SIZE);
    const cFatSlot& oEntry = oRead.oEntry;
    oRead.iInside = bytesInside(oEntry.iOffset, oEntry.iSize);
    oRead.iRecorded = recordedChecksum(oEntry.iFlags);
    oRead.oPlacement = placementOf(oEntry.iOffset, oEntry.iLoadAddress, oEntry.iFlags);
    return oRead;
}

} // namespace

cFatTable readFatTable(const uint8_t* pFat) {
    cFatTable oTable;
    oTable.iMagic = loadLe32(pFat + HEADER_MAGIC_POS);
    oTable.bValidHeader = oTable.iMagic == TINYFS_MAGIC;
    // The table ends at the first slot whose name starts with a zero byte.
    uint32_t iSlot = 1;
    std::vector<cPlacement> lPlacements;
    for (; iSlot < FAT_SLOTS && pFat[iSlot * FAT_SLOT_SIZE + SLOT_NAME_POS] != 0; ++iSlot) {
        oTable.lEntries.push_back(readSlot(pFat, iSlot));
        lPlacements.push_back(oTable.lEntries.back().oPlacement);
    }
    oTable.iEndSlot = iSlot;
    // Offsets and load addresses are what the table holds: the rooms last as long as it.
    const cCapacities oCapacities = capacities(lPlacements);
    for (size_t i = 0; i < oTable.lEntries.size(); ++i) {
        oTable.lEntries[i].iMediaRoom = oCapacities.lMedia[i];
        oTable.lEntries[i].iBootRoom = oCapacities.lBootTime[i];
    }
    // A torn page can end the table early; the entries after the cut still look like
    // entries, while slots no table ever reached are erased or zero.
    for (uint32_t iAfter = iSlot + 1; iAfter < FAT_SLOTS; ++iAfter) {
        if (isEntryShaped(pFat + iAfter * FAT_SLOT_SIZE))
            oTable.lStrays.push_back(readSlot(pFat, iAfter));
    }
    return oTable;
}
