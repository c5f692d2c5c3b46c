// Reading a FAT: header, entries, end slot and what lies after it.
#include "tinyfs/fatTable.h"

cFatTable readFatTable(const uint8_t* pFat) {
    cFatTable oTable;
    oTable.bValidHeader = loadLe32(pFat + HEADER_MAGIC_POS) == TINYFS_MAGIC;
    // The table ends at the first slot whose name starts with a zero byte.
    uint32_t iSlot = 1;
    for (; iSlot < FAT_SLOTS && pFat[iSlot * FAT_SLOT_SIZE + SLOT_NAME_POS] != 0; ++iSlot)
        oTable.lEntries.push_back({iSlot, decodeSlot(pFat + iSlot * FAT_SLOT_SIZE)});
    oTable.iEndSlot = iSlot;
    // A torn page can end the table early; the entries after the cut still look like
    // entries, while slots no table ever reached are erased or zero.
    for (uint32_t iAfter = iSlot + 1; iAfter < FAT_SLOTS; ++iAfter) {
        const uint8_t* pSlot = pFat + iAfter * FAT_SLOT_SIZE;
        if (isEntryShaped(pSlot))
            oTable.lStrays.push_back({iAfter, decodeSlot(pSlot)});
    }
    return oTable;
}
