// The one reading of a FAT: whether its header is valid, the entries in slot order up to
// the slot that ends the table, and the entry-shaped slots after that end, which a table
// cut short (a torn page ending it early) leaves behind. The mounted file system and the
// image extractor both read the table through it, so they never disagree on what it holds.
#pragma once

#include <cstdint>
#include <vector>

#include "tinyfs/layout.h"

// One entry of the table with the slot it was read from, 1..FAT_MAX_ENTRIES.
struct cTableEntry {
    uint32_t iSlot = 0;
    cFatSlot oEntry;
};

struct cFatTable {
    bool bValidHeader = false;         // the header's magic word is TINYFS_MAGIC
    std::vector<cTableEntry> lEntries; // slots 1.. up to the end slot, in slot order
    // The first slot whose name starts with a zero byte; FAT_SLOTS for a full table.
    uint32_t iEndSlot = FAT_SLOTS;
    std::vector<cTableEntry> lStrays; // entry-shaped slots after the end slot, in slot order
};

// Reads the FAT_SIZE bytes of a FAT at pFat; nothing is refused here (an invalid header
// still yields its slots), that is for the caller to decide.
cFatTable readFatTable(const uint8_t* pFat);
