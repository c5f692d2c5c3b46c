// The device's geometry at its end, on an image file: a transfer reaching past the last page fails with
// the message its page sequence would meet there, and moves no byte (a range slip tears no last page).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tinyfs/cMtdDevice.h"

namespace {

std::string failureOf(cMtdDevice& oDevice, bool bWrite, uint32_t iOffset, uint32_t iLength) {
    std::vector<uint8_t> lBytes(iLength, 0x5a);
    try {
        bWrite ? oDevice.write(iOffset, lBytes.data(), iLength)
               : oDevice.read(iOffset, lBytes.data(), iLength);
    } catch (const std::string& sError) {
        return sError;
    }
    return "";
}

TEST(MtdDevice, TransfersPastTheEndFailBeforeAnyByteMoves) {
    const std::string sPath = "mtdDeviceTest." + std::to_string(std::random_device()());
    std::ofstream(sPath, std::ios::binary).close();
    std::filesystem::resize_file(sPath, DEVICE_SIZE);
    {
        cMtdDevice oDevice(sPath);
        const uint32_t END = DEVICE_SIZE, LAST = DEVICE_SIZE - PAGE_SIZE;
        EXPECT_EQ(failureOf(oDevice, true, END - 10, 20), "invalid seek");
        EXPECT_EQ(failureOf(oDevice, true, LAST, 2 * PAGE_SIZE), "incomplete write");
        EXPECT_EQ(failureOf(oDevice, false, LAST, 2 * PAGE_SIZE), "incomplete read");
        EXPECT_EQ(failureOf(oDevice, false, END - 10, 3 * PAGE_SIZE), "invalid seek");
        EXPECT_EQ(failureOf(oDevice, false, END + 5, 1), "invalid seek");
        EXPECT_EQ(failureOf(oDevice, true, END, 0), ""); // nothing to move, nothing to refuse
        std::vector<uint8_t> lPages(2 * PAGE_SIZE);
        EXPECT_THROW(oDevice.readPages(PAGE_COUNT - 1, lPages.data(), 2), std::string);
        EXPECT_THROW(oDevice.writePages(PAGE_COUNT - 1, lPages.data(), 2), std::string);
    }
    std::ifstream oImage(sPath, std::ios::binary);
    const std::vector<char> lImage{std::istreambuf_iterator<char>(oImage), {}};
    std::filesystem::remove(sPath);
    ASSERT_EQ(lImage.size(), DEVICE_SIZE);
    EXPECT_EQ(std::vector<char>(lImage.end() - 2 * PAGE_SIZE, lImage.end()),
              std::vector<char>(2 * PAGE_SIZE, 0));
}

} // namespace
