// CRC-16, sliced sixteen bytes at a time.
//
// The register holds the message polynomial reduced modulo P = x^16 + x^12 + x^5 + 1,
// with every byte appended: one step is R' = (R * x^8 + b) mod P. Sixteen steps fold
// into R' = (R * x^128 + sum of b_i * x^(8 * (15 - i))) mod P, and every term of that
// sum is a lookup in a table of "byte times x^(8k) mod P". The tables are built at
// compile time and the bytes are picked one by one, so the result is the same on hosts
// of either byte order.
#include "tinyfs/crc16.h"

#include <array>
#include <cstring>

namespace {

constexpr uint16_t POLYNOMIAL = 0x1021;
constexpr int SLICE = 16;
constexpr int TABLES = SLICE + 2; // x^(8k) for k = 0 .. SLICE + 1; k = 0 and 1 need no table

using tTable = std::array<uint16_t, 256>;

// Multiplies a reduced value by x^8 modulo P.
constexpr uint16_t timesX8(uint16_t iValue) {
    for (int i = 0; i < 8; ++i)
        iValue = uint16_t((iValue & 0x8000) ? (iValue << 1) ^ POLYNOMIAL : iValue << 1);
    return iValue;
}

constexpr std::array<tTable, TABLES> makeTables() {
    std::array<tTable, TABLES> lTables{};
    for (int b = 0; b < 256; ++b) {
        uint16_t iValue = uint16_t(b);
        for (int k = 0; k < TABLES; ++k) {
            lTables[k][b] = iValue;
            iValue = timesX8(iValue);
        }
    }
    return lTables;
}

constexpr std::array<tTable, TABLES> TABLE = makeTables();
static_assert(TABLE[2][1] == 0x1021 && TABLE[2][2] == 0x2042 && TABLE[2][255] == 0x1EF0,
              "byte-wise table of the polynomial");

inline uint16_t step(uint16_t iCrc, uint8_t b) {
    return uint16_t(((iCrc & 0xFF) << 8 | b) ^ TABLE[2][iCrc >> 8]);
}

// Reads eight bytes in memory order as a number whose most significant byte is the
// first, whatever the host's byte order.
inline uint64_t loadBe64(const uint8_t* p) {
    uint64_t iWord;
    std::memcpy(&iWord, p, sizeof iWord);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return iWord;
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(iWord);
#else
    iWord = 0;
    for (int i = 0; i < 8; ++i)
        iWord = iWord << 8 | p[i];
    return iWord;
#endif
}

// Byte i (0 = first in memory) of a word loaded by loadBe64.
inline uint8_t byteOf(uint64_t iWord, int i) {
    return uint8_t(iWord >> (56 - 8 * i));
}

} // namespace

uint16_t crc16Update(const void* pData, size_t iLength, uint16_t iCrc) {
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    for (; iLength >= SLICE; iLength -= SLICE, p += SLICE) {
        const uint64_t a = loadBe64(p), b = loadBe64(p + 8);
        uint32_t iNext = TABLE[17][iCrc >> 8] ^ TABLE[16][iCrc & 0xFF];
        iNext ^= TABLE[15][byteOf(a, 0)] ^ TABLE[14][byteOf(a, 1)] ^ TABLE[13][byteOf(a, 2)] ^
                 TABLE[12][byteOf(a, 3)] ^ TABLE[11][byteOf(a, 4)] ^ TABLE[10][byteOf(a, 5)] ^
                 TABLE[9][byteOf(a, 6)] ^ TABLE[8][byteOf(a, 7)];
        iNext ^= TABLE[7][byteOf(b, 0)] ^ TABLE[6][byteOf(b, 1)] ^ TABLE[5][byteOf(b, 2)] ^
                 TABLE[4][byteOf(b, 3)] ^ TABLE[3][byteOf(b, 4)] ^ TABLE[2][byteOf(b, 5)];
        iCrc = uint16_t(iNext ^ (b & 0xFFFF));
    }
    for (; iLength > 0; --iLength)
        iCrc = step(iCrc, *p++);
    return iCrc;
}

uint16_t crc16(const void* pData, size_t iLength) {
    if (pData == nullptr || iLength == 0)
        return 0;
    return crc16Update(pData, iLength, CRC16_START);
}
