// The capacity rule: how many bytes each file of a table may occupy at its data offset.
//
// A file owns the room up to the nearest file that starts after it, or up to the device
// end when none does; files at its own offset or before it do not count. In the
// boot-time form, a file with the load-address flag also ends below the nearest higher
// load address of any other file. The images in the field were checked with the rule's
// distances compared as signed 32-bit numbers: a follower 2 GiB or more away counts as
// nearer than any other, and so does such a load address. Capacities are unsigned.
#pragma once

#include <cstdint>
#include <vector>

// Where one file of the table lies, as far as the rule cares.
struct cPlacement {
    uint32_t iOffset;
    uint32_t iLoadAddress;
    bool bLoadAddress; // flag bit 1: the load address bounds the room at boot time
};

// The capacity of every file in table order, in both forms, from one sorted pass.
struct cCapacities {
    std::vector<uint32_t> lMedia;
    std::vector<uint32_t> lBootTime;
};
cCapacities capacities(const std::vector<cPlacement>& lTable);
