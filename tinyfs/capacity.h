// The capacity rule: how many bytes each file of a table may occupy at its data offset.
//
// A file owns the room up to the nearest file that starts after it, or up to the device
// end when none does; files at its own offset or before it do not count. In the
// boot-time form, a file with the load-address flag also ends below the nearest higher
// load address of any other file. The images in the field were checked with the rule's
// distances compared as signed 32-bit numbers: a follower 2 GiB or more away counts as
// nearer than any other, and so does such a load address. Capacities are unsigned.
//
// In both forms the room of a file that starts below the FAT ends where the FAT starts,
// whatever follows: a rewrite of such a file never reaches the table.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tinyfs/layout.h"

// Where one file of the table lies, as far as the rule cares.
struct cPlacement {
    uint32_t iOffset;
    uint32_t iLoadAddress;
    bool bLoadAddress; // flag bit 1: the load address bounds the room at boot time
};

// The placement of a file at iOffset with the given load address and flags word (or flag bits).
inline cPlacement placementOf(uint32_t iOffset, uint32_t iLoadAddress, uint32_t iFlags) {
    return {iOffset, iLoadAddress, (iFlags & FLAG_LOAD_ADDRESS) != 0};
}

// The capacity of every file in table order, in both forms, from one sorted pass.
struct cCapacities {
    std::vector<uint32_t> lMedia;
    std::vector<uint32_t> lBootTime;
};
cCapacities capacities(const std::vector<cPlacement>& lTable);

// The most room a file at iOffset can have when it starts below the FAT: up to the FAT;
// none for a file at or after the FAT's start.
std::optional<uint32_t> roomBeforeFat(uint32_t iOffset);
