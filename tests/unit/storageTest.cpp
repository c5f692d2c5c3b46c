// The device layer against a plain byte array: seeded random byte-addressed transfers,
// some of them past the device end.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tinyfs/cMtdDevice.h"

namespace {

using tBytes = std::vector<uint8_t>;

// One image per test: ctest runs them in parallel.
std::string imagePath() {
    return testing::TempDir() + "brellix-" + testing::UnitTest::GetInstance()->current_test_info()->name();
}

std::string save(const tBytes& lImage) {
    std::ofstream(imagePath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(lImage.data()), lImage.size());
    return imagePath();
}

TEST(Storage, TransfersMatchAByteArray) {
    std::mt19937 oRandom(1);
    tBytes lModel(DEVICE_SIZE);
    for (uint8_t& b : lModel)
        b = uint8_t(oRandom());
    cMtdDevice oDevice(save(lModel));
    for (int i = 0; i < 400; ++i) {
        // Around page edges, mostly short, some long; some reach past the device end.
        const uint32_t iPage = oRandom() % 4 ? oRandom() % PAGE_COUNT : PAGE_COUNT - 1 - oRandom() % 3;
        const uint32_t iOffset = iPage * PAGE_SIZE + oRandom() % 5 - 2 + oRandom() % 2 * PAGE_SIZE / 2;
        tBytes lData(oRandom() % 8 ? oRandom() % (3 * PAGE_SIZE) : oRandom() % (80 * PAGE_SIZE));
        const bool bFits = iOffset + uint64_t(lData.size()) <= DEVICE_SIZE, bWrite = oRandom() % 2;
        for (uint8_t& b : lData)
            b = oRandom() % 3 ? uint8_t(oRandom()) : 0;
        const uint32_t iLength = uint32_t(lData.size());
        if (!bFits) {
            EXPECT_THROW(bWrite ? oDevice.write(iOffset, lData.data(), iLength)
                                : oDevice.read(iOffset, lData.data(), iLength),
                         std::string);
        } else if (bWrite) {
            oDevice.write(iOffset, lData.data(), iLength);
            std::copy(lData.begin(), lData.end(), lModel.begin() + iOffset);
        } else {
            oDevice.read(iOffset, lData.data(), iLength);
            ASSERT_TRUE(std::equal(lData.begin(), lData.end(), lModel.begin() + iOffset))
                << iOffset << "+" << iLength;
        }
    }
    tBytes lDevice(DEVICE_SIZE);
    oDevice.read(0, lDevice.data(), DEVICE_SIZE);
    EXPECT_TRUE(lDevice == lModel);
}

} // namespace
