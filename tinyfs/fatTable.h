// The view of a FAT as read, built once from its bytes: whether its header is valid, every
// entry in slot order up to the slot that ends the table with what the format says of it
// (its bytes inside the device, its recorded checksum, its placement and the rooms the
// capacity rule gives it), and the entry-shaped slots after that end, which a table cut
// short (a torn page ending it early) leaves behind. The mounted file system and every
// report of an image take the table from here, so they never disagree on what it holds.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tinyfs/capacity.h"
#include "tinyfs/layout.h"

// One slot of the table as read, 1..FAT_MAX_ENTRIES.
struct cTableEntry {
    uint32_t iSlot = 0;
    cFatSlot oEntry;
    uint32_t iInside = 0;   // contents bytes that lie inside the device
    uint16_t iRecorded = 0; // the checksum its flags word records
    cPlacement oPlacement{};
    // The rooms of the capacity rule, on the medium and at boot time; none after the end slot.
    std::optional<uint32_t> iMediaRoom;
    std::optional<uint32_t> iBootRoom;
};

struct cFatTable {
    uint32_t iMagic = 0;               // the header's magic word
    bool bValidHeader = false;         // it is TINYFS_MAGIC
    std::vector<cTableEntry> lEntries; // slots 1.. up to the end slot, in slot order
    // The first slot whose name starts with a zero byte; FAT_SLOTS for a full table.
    uint32_t iEndSlot = FAT_SLOTS;
    std::vector<cTableEntry> lStrays; // entry-shaped slots after the end slot, in slot order
};

// Reads the FAT_SIZE bytes of a FAT at pFat; nothing is refused here (an invalid header
// still yields its slots), that is for the caller to decide.
cFatTable readFatTable(const uint8_t* pFat);
