// The on-flash format of a tinyfs image: device geometry, where the FAT lies, how a
// FAT slot is laid out byte by byte, and the meaning of the flag bits.
//
// Every multi-byte number on flash is unsigned 32-bit little-endian and is stored and
// loaded byte by byte, so the format does not depend on the host's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Geometry: fixed by the board, never queried from the device node.
constexpr uint32_t PAGE_SIZE = 1056;
constexpr int32_t PAGE_COUNT = 8192;
constexpr uint32_t DEVICE_SIZE = PAGE_SIZE * PAGE_COUNT; // 0x840000

// The FAT: 1024 slots of 32 bytes. Slot 0 is the header, slots 1..1023 hold entries.
// It starts inside page 15 and ends inside page 46, so every FAT transfer has partial
// pages at both ends.
constexpr uint32_t FAT_OFFSET = 0x4000;
constexpr uint32_t FAT_SIZE = 0x8000;
constexpr uint32_t FAT_SLOT_SIZE = 32;
constexpr uint32_t FAT_SLOTS = FAT_SIZE / FAT_SLOT_SIZE;
constexpr uint32_t FAT_MAX_ENTRIES = FAT_SLOTS - 1;
constexpr uint32_t DATA_OFFSET = FAT_OFFSET + FAT_SIZE; // where image builders put the first file

// Header slot: only the magic word is interpreted; the other 28 bytes are written as zeros.
constexpr uint32_t TINYFS_MAGIC = 0x12345678;
constexpr uint32_t HEADER_MAGIC_POS = 16;

// Bytes a name may hold to count as one that an image builder wrote.
constexpr uint8_t NAME_CHAR_FIRST = 0x20;
constexpr uint8_t NAME_CHAR_LAST = 0x7e;

// Entry slot. A zero byte at SLOT_NAME_POS ends the table. Byte 15 is forced to zero on
// load, so a name holds at most 15 bytes.
constexpr uint32_t SLOT_NAME_POS = 0;
constexpr uint32_t SLOT_NAME_FIELD = 16;
constexpr uint32_t NAME_MAX = SLOT_NAME_FIELD - 1;
constexpr uint32_t SLOT_FLAGS_POS = 16;
constexpr uint32_t SLOT_OFFSET_POS = 20;
constexpr uint32_t SLOT_SIZE_POS = 24;
constexpr uint32_t SLOT_LOAD_ADDRESS_POS = 28;

// Flags word: low half flag bits, high half the CRC-16 of the contents. Bits without a
// mask here have no meaning to the tool and survive every FAT rewrite untouched.
constexpr uint32_t FLAG_LOAD_ADDRESS = 0x0002;
constexpr uint32_t FLAG_X = 0x0004;
constexpr uint32_t FLAG_AX = 0x0008;
constexpr uint32_t FLAG_BITS_MASK = 0x0000FFFF;
constexpr uint32_t CHECKSUM_SHIFT = 16;
constexpr uint32_t CHECKSUM_MASK = 0xFFFF;
constexpr uint16_t NO_CHECKSUM = 0; // a stored checksum of 0 means "not checksummed"

// The letters brellix --list --verbose shows for the flag bits, and their words in JSON,
// in the order both show them.
struct cFlagName {
    uint32_t iBit;
    const char* sLetters;
    const char* sWord;
};
constexpr cFlagName FLAG_NAMES[] = {
    {FLAG_LOAD_ADDRESS, "L", "load_address"}, {FLAG_X, "X", "x"}, {FLAG_AX, "Ax", "ax"}};

// The device-identifier record lives in the last 64 bytes, outside the file system.
constexpr uint32_t DEVICE_ID_AREA_SIZE = 64;
constexpr uint32_t DEVICE_ID_AREA = DEVICE_SIZE - DEVICE_ID_AREA_SIZE;

// Contents move in pieces of this many pages: few system calls, memory of a few pieces
// whatever the file's size, and bounded time between progress reports.
constexpr uint32_t PIECE_SIZE = 64 * PAGE_SIZE;

// Length of the next piece of a long transfer at iOffset: at most PIECE_SIZE, and ending
// on a page boundary whenever the rest allows, so that consecutive pieces never touch
// the same page twice.
inline uint32_t pieceLength(uint32_t iOffset, uint64_t iRemaining) {
    const uint32_t iToBoundary = PIECE_SIZE - iOffset % PAGE_SIZE;
    return iRemaining < iToBoundary ? uint32_t(iRemaining) : iToBoundary;
}

inline uint32_t loadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void storeLe32(uint8_t* p, uint32_t iValue) {
    p[0] = uint8_t(iValue);
    p[1] = uint8_t(iValue >> 8);
    p[2] = uint8_t(iValue >> 16);
    p[3] = uint8_t(iValue >> 24);
}

// The checksum a flags word records.
inline uint16_t recordedChecksum(uint32_t iFlags) {
    return uint16_t(iFlags >> CHECKSUM_SHIFT & CHECKSUM_MASK);
}

// How many of iSize bytes at iOffset lie inside the device.
inline uint32_t bytesInside(uint32_t iOffset, uint32_t iSize) {
    return iOffset >= DEVICE_SIZE ? 0 : iSize < DEVICE_SIZE - iOffset ? iSize : DEVICE_SIZE - iOffset;
}

// One FAT entry as stored in its slot, without an owner.
struct cFatSlot {
    std::string sName;
    uint32_t iFlags = 0;
    uint32_t iOffset = 0;
    uint32_t iSize = 0;
    uint32_t iLoadAddress = 0;
};

// Clears the slot and stores the entry; a name is cut to its first NAME_MAX bytes.
void encodeSlot(uint8_t* pSlot, const cFatSlot& oEntry);

// Decodes an entry slot whose first byte is not zero; the name ends at the first zero
// byte and never reaches byte 15.
cFatSlot decodeSlot(const uint8_t* pSlot);

// Whether a slot holds what a file entry looks like, for finding entries that a table
// cut short (a torn page ending it early) left after its end slot: a name of 1 to 15
// printable bytes (0x20..0x7e) followed by zero bytes up to byte 16, contents at or after
// DATA_OFFSET that end within the device. Erased and zeroed slots never match.
bool isEntryShaped(const uint8_t* pSlot);

// The FAT as it is written, by the tool and by image builders alike: the header (zeros
// and the magic word), the entries from slot 1 on, and one zero end slot unless the
// table is full; the slots after it are not part of it. Throws "too many files in FAT"
// for more than FAT_MAX_ENTRIES entries.
std::vector<uint8_t> layOutFat(const std::vector<cFatSlot>& lEntries);
