// The image's CRC-16: polynomial 0x1021, MSB first, register preset 0xFFFF, each new
// byte shifted in at the bottom of the register, no final XOR, no reflection.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t CRC16_START = 0xFFFF;

// Continues a CRC from iCrc; chunks fed in order, the first from CRC16_START, give the
// same result as crc16 over the whole.
uint16_t crc16Update(const void* pData, size_t iLength, uint16_t iCrc);

// The checksum of contents fed piece by piece, in order. Contents of no bytes have
// checksum 0, not the preset: brellix, mktinyfs and the images in the field all record
// and expect 0 for an empty file, and this is the one place that says so.
class cCrc16Stream {
  public:
    void add(const void* pData, size_t iLength) {
        iCrc = crc16Update(pData, iLength, iCrc);
        bBytes = bBytes || iLength != 0;
    }
    uint16_t finish() const { return bBytes ? iCrc : 0; }

  private:
    uint16_t iCrc = CRC16_START;
    bool bBytes = false;
};

// The checksum of a whole content; an absent pointer holds no bytes.
uint16_t crc16(const void* pData, size_t iLength);

// The two ways crc16Update computes, for benchmarks: table slicing, portable
// to any host; and folding with carry-less multiplication (x86 PCLMULQDQ, 64-bit ARM
// PMULL), same results. crc16UpdateFolded computes sliced where crc16HasFolding() says
// the processor cannot fold, and for inputs too short to fold.
uint16_t crc16UpdateSliced(const void* pData, size_t iLength, uint16_t iCrc);
uint16_t crc16UpdateFolded(const void* pData, size_t iLength, uint16_t iCrc);
bool crc16HasFolding();
