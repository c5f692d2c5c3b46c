// The image's CRC-16: polynomial 0x1021, MSB first, register preset 0xFFFF, each new
// byte shifted in at the bottom of the register, no final XOR, no reflection.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t CRC16_START = 0xFFFF;

// CRC of a whole content; 0 for an absent pointer or zero length (not the preset).
uint16_t crc16(const void* pData, size_t iLength);

// Continues a CRC from iCrc; chunks fed in order, the first from CRC16_START, give the
// same result as crc16 over the whole.
uint16_t crc16Update(const void* pData, size_t iLength, uint16_t iCrc);

// The two ways crc16Update computes, for benchmarks: table slicing, portable
// to any host; and folding with carry-less multiplication (x86 PCLMULQDQ, 64-bit ARM
// PMULL), same results. crc16UpdateFolded computes sliced where crc16HasFolding() says
// the processor cannot fold, and for inputs too short to fold.
uint16_t crc16UpdateSliced(const void* pData, size_t iLength, uint16_t iCrc);
uint16_t crc16UpdateFolded(const void* pData, size_t iLength, uint16_t iCrc);
bool crc16HasFolding();
