// Encoding and decoding of FAT slots, and the FAT as it is written.
#include "tinyfs/layout.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t FAT_FRAME_SLOTS = 2; // the header and the end slot
}

void encodeSlot(uint8_t* pSlot, const cFatSlot& oEntry) {
    std::memset(pSlot, 0, FAT_SLOT_SIZE);
    std::memcpy(pSlot + SLOT_NAME_POS, oEntry.sName.data(), std::min<size_t>(oEntry.sName.size(), NAME_MAX));
    storeLe32(pSlot + SLOT_FLAGS_POS, oEntry.iFlags);
    storeLe32(pSlot + SLOT_OFFSET_POS, oEntry.iOffset);
    storeLe32(pSlot + SLOT_SIZE_POS, oEntry.iSize);
    storeLe32(pSlot + SLOT_LOAD_ADDRESS_POS, oEntry.iLoadAddress);
}

cFatSlot decodeSlot(const uint8_t* pSlot) {
    const char* sName = reinterpret_cast<const char*>(pSlot + SLOT_NAME_POS);
    return {std::string(sName, strnlen(sName, NAME_MAX)), loadLe32(pSlot + SLOT_FLAGS_POS),
            loadLe32(pSlot + SLOT_OFFSET_POS), loadLe32(pSlot + SLOT_SIZE_POS),
            loadLe32(pSlot + SLOT_LOAD_ADDRESS_POS)};
}

bool isEntryShaped(const uint8_t* pSlot) {
    size_t iLength = 0;
    while (iLength < NAME_MAX && pSlot[SLOT_NAME_POS + iLength] >= NAME_CHAR_FIRST &&
           pSlot[SLOT_NAME_POS + iLength] <= NAME_CHAR_LAST)
        ++iLength;
    for (size_t i = iLength; i < SLOT_NAME_FIELD; ++i) {
        if (pSlot[SLOT_NAME_POS + i] != 0)
            return false;
    }
    const uint64_t iOffset = loadLe32(pSlot + SLOT_OFFSET_POS);
    return iLength > 0 && iOffset >= DATA_OFFSET && iOffset + loadLe32(pSlot + SLOT_SIZE_POS) <= DEVICE_SIZE;
}

std::vector<uint8_t> layOutFat(const std::vector<cFatSlot>& lEntries) {
    if (lEntries.size() > FAT_MAX_ENTRIES)
        throw std::string("too many files in FAT");
    const uint32_t iSlots = std::min<uint32_t>(uint32_t(lEntries.size()) + FAT_FRAME_SLOTS, FAT_SLOTS);
    std::vector<uint8_t> lFat(size_t(iSlots) * FAT_SLOT_SIZE, 0);
    storeLe32(lFat.data() + HEADER_MAGIC_POS, TINYFS_MAGIC);
    for (size_t i = 0; i < lEntries.size(); ++i)
        encodeSlot(lFat.data() + (i + 1) * FAT_SLOT_SIZE, lEntries[i]);
    return lFat;
}
