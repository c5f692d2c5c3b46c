// Throughput of the image's CRC-16 against the plain byte-at-a-time table lookup it
// replaces, over a 1 KiB, a 64 KiB and a whole-device-sized buffer: crc16Update as the
// tool calls it (folding where the processor can), and its portable sliced form.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "tinyfs/crc16.h"

namespace {

constexpr uint16_t POLYNOMIAL = 0x1021;
constexpr int BYTE_VALUES = 256;
constexpr int BITS_PER_BYTE = 8;
constexpr uint16_t TOP_BIT = 0x8000;
constexpr uint32_t RANDOM_SEED = 0x5eed;
constexpr int64_t KIB = 1024;
constexpr int64_t MIB = 1024 * KIB;
constexpr size_t ODD_TAIL = 7; // leaves bytes past the last whole slice

// The reference: one lookup per byte in the 256-entry table of "byte times x^16 mod P";
// each new byte enters at the bottom of the register.
constexpr std::array<uint16_t, BYTE_VALUES> makeByteTable() {
    std::array<uint16_t, BYTE_VALUES> lTable{};
    for (int b = 0; b < BYTE_VALUES; ++b) {
        uint16_t iValue = uint16_t(b << BITS_PER_BYTE);
        for (int i = 0; i < BITS_PER_BYTE; ++i)
            iValue = uint16_t((iValue & TOP_BIT) ? (iValue << 1) ^ POLYNOMIAL : iValue << 1);
        lTable[size_t(b)] = iValue;
    }
    return lTable;
}

constexpr std::array<uint16_t, BYTE_VALUES> BYTE_TABLE = makeByteTable();
static_assert(BYTE_TABLE[1] == 0x1021 && BYTE_TABLE[2] == 0x2042 && BYTE_TABLE[255] == 0x1EF0,
              "table of the polynomial");

uint16_t crc16ByteWise(const uint8_t* p, size_t iLength, uint16_t iCrc) {
    for (; iLength > 0; --iLength)
        iCrc = uint16_t((iCrc << BITS_PER_BYTE | *p++) ^ BYTE_TABLE[size_t(iCrc >> BITS_PER_BYTE)]);
    return iCrc;
}

std::vector<uint8_t> randomBytes(size_t iLength) {
    std::mt19937 oRandom(RANDOM_SEED);
    std::uniform_int_distribution<int> oByte(0, BYTE_VALUES - 1);
    std::vector<uint8_t> lBytes(iLength);
    for (uint8_t& b : lBytes)
        b = uint8_t(oByte(oRandom));
    return lBytes;
}

using tCrcUpdate = uint16_t (*)(const void*, size_t, uint16_t);

void measure(benchmark::State& oState, tCrcUpdate fUpdate) {
    const std::vector<uint8_t> lData = randomBytes(size_t(oState.range(0)));
    for (auto _ : oState)
        benchmark::DoNotOptimize(fUpdate(lData.data(), lData.size(), CRC16_START));
    oState.SetBytesProcessed(int64_t(oState.iterations()) * oState.range(0));
}

uint16_t byteWiseUpdate(const void* pData, size_t iLength, uint16_t iCrc) {
    return crc16ByteWise(static_cast<const uint8_t*>(pData), iLength, iCrc);
}

void BM_crc16(benchmark::State& oState) {
    measure(oState, crc16Update);
}
void BM_crc16Sliced(benchmark::State& oState) {
    measure(oState, crc16UpdateSliced);
}
void BM_crc16ByteWise(benchmark::State& oState) {
    measure(oState, byteWiseUpdate);
}

} // namespace

BENCHMARK(BM_crc16)->Arg(KIB)->Arg(64 * KIB)->Arg(8 * MIB);
BENCHMARK(BM_crc16Sliced)->Arg(KIB)->Arg(64 * KIB)->Arg(8 * MIB);
BENCHMARK(BM_crc16ByteWise)->Arg(KIB)->Arg(64 * KIB)->Arg(8 * MIB);

// Comparing speeds of two different computations says nothing unless they agree, so
// the run stops at once when they do not.
int main(int iArgc, char** pArgv) {
    const char CHECK_TEXT[] = "123456789";
    constexpr uint16_t CHECK_VALUE = 0xA69D;
    if (crc16ByteWise(reinterpret_cast<const uint8_t*>(CHECK_TEXT), sizeof CHECK_TEXT - 1, CRC16_START) !=
        CHECK_VALUE) {
        std::fprintf(stderr, "the byte-wise table misses the check value\n");
        return EXIT_FAILURE;
    }
    const std::vector<uint8_t> lCheck = randomBytes(size_t(64 * KIB) + ODD_TAIL);
    const uint16_t iExpected = crc16ByteWise(lCheck.data(), lCheck.size(), CRC16_START);
    if (crc16Update(lCheck.data(), lCheck.size(), CRC16_START) != iExpected ||
        crc16UpdateSliced(lCheck.data(), lCheck.size(), CRC16_START) != iExpected) {
        std::fprintf(stderr, "crc16 and the byte-wise table disagree\n");
        return EXIT_FAILURE;
    }
    benchmark::AddCustomContext("crc16 folding", crc16HasFolding() ? "used" : "not available, sliced");
    benchmark::Initialize(&iArgc, pArgv);
    if (benchmark::ReportUnrecognizedArguments(iArgc, pArgv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
