// CRC-16: sliced sixteen bytes at a time, or folded with carry-less multiplication.
//
// The register holds the message polynomial reduced modulo P = x^16 + x^12 + x^5 + 1,
// with every byte appended: one step is R' = (R * x^8 + b) mod P. Sixteen steps fold
// into R' = (R * x^128 + sum of b_i * x^(8 * (15 - i))) mod P, and every term of that
// sum is a lookup in a table of "byte times x^(8k) mod P". The tables are built at
// compile time and the bytes are picked one by one, so the result is the same on hosts
// of either byte order.
//
// Folding: the register after a message M from a start R0 is (R0 * x^(8n) + M(x)) mod P.
// Four 128-bit lanes each gather every fourth 16-byte block of M; a lane moves on by
// 64 bytes through L * x^512 = L_hi * (x^576 mod P) + L_lo * (x^512 mod P), two
// carry-less products that keep it within 128 bits without reducing it. At the end the
// lanes are joined the same way by 128-bit steps and the sum is reduced by the table.
#include "tinyfs/crc16.h"

#include <array>
#include <cstring>

namespace {

constexpr uint16_t POLYNOMIAL = 0x1021;
constexpr uint16_t TOP_BIT = 0x8000; // x^15: multiplied by x it becomes x^16, reduced by P
constexpr uint16_t LOW_BYTE = 0xFF;
constexpr uint64_t LOW_HALFWORD = 0xFFFF;
constexpr int SLICE = 16;
constexpr int TABLES = SLICE + 2; // x^(8k) for k = 0 .. SLICE + 1; k = 0 and 1 need no table

using tTable = std::array<uint16_t, 256>;

// Multiplies a reduced value by x modulo P.
constexpr uint16_t timesX(uint16_t iValue) {
    return uint16_t((iValue & TOP_BIT) ? (iValue << 1) ^ POLYNOMIAL : iValue << 1);
}

// Multiplies a reduced value by x^8 modulo P.
constexpr uint16_t timesX8(uint16_t iValue) {
    for (int i = 0; i < 8; ++i)
        iValue = timesX(iValue);
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
    return uint16_t(((iCrc & LOW_BYTE) << 8 | b) ^ TABLE[2][iCrc >> 8]);
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

uint16_t crc16UpdateSliced(const void* pData, size_t iLength, uint16_t iCrc) {
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    for (; iLength >= SLICE; iLength -= SLICE, p += SLICE) {
        const uint64_t a = loadBe64(p), b = loadBe64(p + 8);
        uint32_t iNext = TABLE[17][iCrc >> 8] ^ TABLE[16][iCrc & LOW_BYTE];
        iNext ^= TABLE[15][byteOf(a, 0)] ^ TABLE[14][byteOf(a, 1)] ^ TABLE[13][byteOf(a, 2)] ^
                 TABLE[12][byteOf(a, 3)] ^ TABLE[11][byteOf(a, 4)] ^ TABLE[10][byteOf(a, 5)] ^
                 TABLE[9][byteOf(a, 6)] ^ TABLE[8][byteOf(a, 7)];
        iNext ^= TABLE[7][byteOf(b, 0)] ^ TABLE[6][byteOf(b, 1)] ^ TABLE[5][byteOf(b, 2)] ^
                 TABLE[4][byteOf(b, 3)] ^ TABLE[3][byteOf(b, 4)] ^ TABLE[2][byteOf(b, 5)];
        iCrc = uint16_t(iNext ^ (b & LOW_HALFWORD));
    }
    for (; iLength > 0; --iLength)
        iCrc = step(iCrc, *p++);
    return iCrc;
}

namespace {

constexpr size_t LANE_BYTES = 16;
constexpr size_t LANES = 4;
constexpr size_t GROUP_BYTES = LANE_BYTES * LANES;

// x^k mod P.
constexpr uint16_t xPowerMod(int k) {
    uint16_t iValue = 1;
    for (int i = 0; i < k; ++i)
        iValue = timesX(iValue);
    return iValue;
}

} // namespace

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

// Multiplies a 128-bit lane by x^(64 + shift) and x^shift in its two halves.
__attribute__((target("pclmul,ssse3"))) inline __m128i foldLane(__m128i oLane, __m128i oConstants) {
    return _mm_xor_si128(_mm_clmulepi64_si128(oLane, oConstants, 0x01),
                         _mm_clmulepi64_si128(oLane, oConstants, 0x10));
}

// The first byte of a block is the highest coefficient of its polynomial.
__attribute__((target("pclmul,ssse3"))) inline __m128i reverseBytes(__m128i oBlock) {
    return _mm_shuffle_epi8(oBlock, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

__attribute__((target("pclmul,ssse3"))) inline __m128i load(const uint8_t* pBlock) {
    return reverseBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pBlock)));
}

// Constants for a shift by x^(8 * iBytes): low half x^(8 * iBytes + 64), high half x^(8 * iBytes).
__m128i __attribute__((target("pclmul,ssse3"))) shiftConstants(int iBytes) {
    return _mm_set_epi64x(xPowerMod(8 * iBytes), xPowerMod(8 * iBytes + 64));
}

} // namespace

__attribute__((target("pclmul,ssse3"))) uint16_t crc16UpdateFolded(const void* pData, size_t iLength,
                                                                   uint16_t iCrc) {
    if (iLength < 2 * GROUP_BYTES || !crc16HasFolding())
        return crc16UpdateSliced(pData, iLength, iCrc);
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    static const __m128i oGroupShift = shiftConstants(GROUP_BYTES);
    static const __m128i oLaneShift = shiftConstants(LANE_BYTES);

    __m128i aLane[LANES];
    for (size_t i = 0; i < LANES; ++i)
        aLane[i] = load(p + i * LANE_BYTES);
    // The start value stands before the message: R0 * x^128 joins the first lane.
    aLane[0] = _mm_xor_si128(aLane[0], _mm_clmulepi64_si128(_mm_cvtsi32_si128(iCrc), oLaneShift, 0x10));
    p += GROUP_BYTES;
    iLength -= GROUP_BYTES;

    for (; iLength >= GROUP_BYTES; iLength -= GROUP_BYTES, p += GROUP_BYTES)
        for (size_t i = 0; i < LANES; ++i)
            aLane[i] = _mm_xor_si128(foldLane(aLane[i], oGroupShift), load(p + i * LANE_BYTES));

    __m128i oSum = aLane[0];
    for (size_t i = 1; i < LANES; ++i)
        oSum = _mm_xor_si128(foldLane(oSum, oLaneShift), aLane[i]);

    // Reduce the 128-bit sum: as bytes fed from a zero register it is its own residue.
    alignas(16) uint8_t aSum[LANE_BYTES];
    _mm_store_si128(reinterpret_cast<__m128i*>(aSum), reverseBytes(oSum));
    iCrc = crc16UpdateSliced(aSum, LANE_BYTES, 0);
    return crc16UpdateSliced(p, iLength, iCrc);
}

bool crc16HasFolding() {
    static const bool bHas = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return bHas;
}

#elif defined(__aarch64__)
#include <arm_neon.h>
#include <asm/hwcap.h>
#include <sys/auxv.h>

// The same folding with the ARMv8 polynomial multiply (PMULL), where the processor has
// it. A lane is two 64-bit halves, [1] the high one.
namespace {

using tLane = uint64x2_t;

__attribute__((target("+crypto"))) inline tLane multiply(uint64_t a, uint64_t b) {
    return vreinterpretq_u64_p128(vmull_p64(poly64_t(a), poly64_t(b)));
}

// Multiplies the high half by x^(64 + shift) (oConstants[0]) and the low one by
// x^shift (oConstants[1]).
__attribute__((target("+crypto"))) inline tLane foldLane(tLane oLane, tLane oConstants) {
    return veorq_u64(multiply(vgetq_lane_u64(oLane, 1), vgetq_lane_u64(oConstants, 0)),
                     multiply(vgetq_lane_u64(oLane, 0), vgetq_lane_u64(oConstants, 1)));
}

// The first byte of a block is the highest coefficient of its polynomial.
inline uint8x16_t reverseBytes(uint8x16_t oBlock) {
    const uint8x16_t oReversed = vrev64q_u8(oBlock);
    return vextq_u8(oReversed, oReversed, 8);
}

inline tLane load(const uint8_t* pBlock) {
    return vreinterpretq_u64_u8(reverseBytes(vld1q_u8(pBlock)));
}

tLane shiftConstants(int iBytes) {
    const uint64_t aConstants[2] = {xPowerMod(8 * iBytes + 64), xPowerMod(8 * iBytes)};
    return vld1q_u64(aConstants);
}

} // namespace

__attribute__((target("+crypto"))) uint16_t crc16UpdateFolded(const void* pData, size_t iLength,
                                                              uint16_t iCrc) {
    if (iLength < 2 * GROUP_BYTES || !crc16HasFolding())
        return crc16UpdateSliced(pData, iLength, iCrc);
    const uint8_t* p = static_cast<const uint8_t*>(pData);
    static const tLane oGroupShift = shiftConstants(GROUP_BYTES);
    static const tLane oLaneShift = shiftConstants(LANE_BYTES);

    tLane aLane[LANES];
    for (size_t i = 0; i < LANES; ++i)
        aLane[i] = load(p + i * LANE_BYTES);
    // The start value stands before the message: R0 * x^128 joins the first lane.
    aLane[0] = veorq_u64(aLane[0], multiply(iCrc, vgetq_lane_u64(oLaneShift, 1)));
    p += GROUP_BYTES;
    iLength -= GROUP_BYTES;

    for (; iLength >= GROUP_BYTES; iLength -= GROUP_BYTES, p += GROUP_BYTES)
        for (size_t i = 0; i < LANES; ++i)
            aLane[i] = veorq_u64(foldLane(aLane[i], oGroupShift), load(p + i * LANE_BYTES));

    tLane oSum = aLane[0];
    for (size_t i = 1; i < LANES; ++i)
        oSum = veorq_u64(foldLane(oSum, oLaneShift), aLane[i]);

    // Reduce the 128-bit sum: as bytes fed from a zero register it is its own residue.
    uint8_t aSum[LANE_BYTES];
    vst1q_u8(aSum, reverseBytes(vreinterpretq_u8_u64(oSum)));
    iCrc = crc16UpdateSliced(aSum, LANE_BYTES, 0);
    return crc16UpdateSliced(p, iLength, iCrc);
}

bool crc16HasFolding() {
    static const bool bHas = (::getauxval(AT_HWCAP) & HWCAP_PMULL) != 0;
    return bHas;
}

#else

uint16_t crc16UpdateFolded(const void* pData, size_t iLength, uint16_t iCrc) {
    return crc16UpdateSliced(pData, iLength, iCrc);
}

bool crc16HasFolding() {
    return false;
}

#endif

uint16_t crc16Update(const void* pData, size_t iLength, uint16_t iCrc) {
    return crc16HasFolding() ? crc16UpdateFolded(pData, iLength, iCrc)
                             : crc16UpdateSliced(pData, iLength, iCrc);
}

uint16_t crc16(const void* pData, size_t iLength) {
    cCrc16Stream oCrc;
    if (pData != nullptr)
        oCrc.add(pData, iLength);
    return oCrc.finish();
}
