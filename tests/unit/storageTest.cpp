// The storage layer against a plain byte array: seeded random byte-addressed transfers on
// the device, then the limits of file entries and the FAT write-back.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"

namespace {

using tBytes = std::vector<uint8_t>;

class Storage : public testing::Test {
  protected:
    void save(const tBytes& lImage) {
        std::ofstream(sPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(lImage.data()), lImage.size());
    }
    tBytes onDisk() const {
        std::ifstream oIn(sPath, std::ios::binary);
        return tBytes(std::istreambuf_iterator<char>(oIn), {});
    }
    const std::string sPath = testing::TempDir() + "storage-" +
                              testing::UnitTest::GetInstance()->current_test_info()->name() + ".img";
};

TEST_F(Storage, TransfersMatchAByteArray) {
    std::mt19937 oRandom(1);
    tBytes lModel(DEVICE_SIZE);
    for (uint8_t& b : lModel)
        b = uint8_t(oRandom());
    save(lModel);
    cMtdDevice oDevice(sPath);
    for (int i = 0; i < 400; ++i) {
        // Around page edges, mostly short, some long; some reach past the device end.
        const uint32_t iPage = oRandom() % 4 ? oRandom() % PAGE_COUNT : PAGE_COUNT - 1 - oRandom() % 3;
        const uint32_t iOffset =
            iPage * PAGE_SIZE + uint32_t(oRandom() % 5) - 2 + (oRandom() % 2) * PAGE_SIZE / 2;
        const uint32_t iLength = oRandom() % 8 ? oRandom() % (3 * PAGE_SIZE) : oRandom() % (80 * PAGE_SIZE);
        const bool bFits = uint64_t(iOffset) + iLength <= DEVICE_SIZE;
        tBytes lData(iLength);
        if (oRandom() % 2) {
            for (uint8_t& b : lData)
                b = bFits && oRandom() % 3 == 0 ? 0 : uint8_t(oRandom());
            if (!bFits) {
                EXPECT_THROW(oDevice.write(iOffset, lData.data(), iLength), std::string);
                continue;
            }
            oDevice.write(iOffset, lData.data(), iLength);
            std::copy(lData.begin(), lData.end(), lModel.begin() + iOffset);
        } else if (bFits) {
            oDevice.read(iOffset, lData.data(), iLength);
            ASSERT_TRUE(std::equal(lData.begin(), lData.end(), lModel.begin() + iOffset))
                << iOffset << "+" << iLength;
        } else {
            EXPECT_THROW(oDevice.read(iOffset, lData.data(), iLength), std::string);
        }
    }
    EXPECT_TRUE(onDisk() == lModel);
}

TEST_F(Storage, FileEntriesKeepTheirLimits) {
    cImageBuilder oBuilder;
    oBuilder.addFile({"a", tBytes(100, 'a'), 0x10007, 200, 0, 0x0105, true, {}});
    oBuilder.addFile({"b", tBytes(10, 'b'), 0x10007 + 300, 0, 0, 0, true, {}});
    save(oBuilder.build());
    const tBytes lBefore = onDisk();
    tBytes lBuffer(400, 'x');
    {
        cMtdDevice oDevice(sPath);
        cTinyFs oFs(oDevice);
        cTinyFsFile& oFile = oFs.find("a");
        EXPECT_THROW(oFile.read(lBuffer.data(), 101), std::string);
        EXPECT_THROW(oFile.patch(lBuffer.data(), 101), std::string);
        oFile.clear();
        oFile.append(lBuffer.data(), 250);
        oFile.append(lBuffer.data(), 50);
        const tBytes lNow = onDisk();
        EXPECT_TRUE(std::equal(lNow.begin(), lNow.begin() + DATA_OFFSET, lBefore.begin()))
            << "FAT written early";
        try {
            oFile.append(lBuffer.data(), 1);
            ADD_FAILURE() << "append past the capacity";
        } catch (const std::string& sError) {
            EXPECT_EQ(sError, "no space left for file");
        }
        oFile.setChecksum(0x1ABCD);
        oFs.writeFat();
        oFs.getFiles().push_back(oFile);
        EXPECT_THROW(oFs.writeFat(), std::string);
    }
    cMtdDevice oDevice(sPath);
    cTinyFs oFs(oDevice);
    const cTinyFsFile& oFile = oFs.find("a");
    EXPECT_EQ(oFs.getFiles().size(), 2u);
    EXPECT_EQ(oFile.getSize(), 300u);
    EXPECT_EQ(oFile.getFlags(), 0xABCD0105u);
    oFile.read(lBuffer.data(), 300);
    EXPECT_EQ(lBuffer, tBytes(400, 'x'));
}

} // namespace
