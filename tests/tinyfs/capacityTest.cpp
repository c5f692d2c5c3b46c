// The room a file owns and the two integrity checks built on it: followers on the
// device, the device end, the boot-time bound of load addresses, and the signed
// comparisons that images in the field were checked with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tinyfs/tinyfsTestSupport.h"

namespace {

struct cPlaced {
    uint32_t iOffset;
    uint32_t iFlags = 0;
    uint32_t iLoadAddress = 0;
};

struct cCapacityCase {
    const char* sWhat;
    std::vector<cPlaced> lFiles;
    size_t iEntry;   // the file whose capacity is asked for
    uint32_t iMedia; // switch off
    uint32_t iBoot;  // switch on
};

constexpr uint32_t O = DATA_OFFSET;

const cCapacityCase CASES[] = {
    {"alone, up to the device end", {{O}}, 0, DEVICE_SIZE - O, DEVICE_SIZE - O},
    {"nearest follower, table unsorted",
     {{O}, {O + 0x20000}, {O + 0x4000}, {O + 0x10000}},
     0,
     0x4000,
     0x4000},
    {"follower in the middle", {{O}, {O + 0x20000}, {O + 0x4000}, {O + 0x10000}}, 2, 0xC000, 0xC000},
    {"last on the device",
     {{O}, {O + 0x20000}, {O + 0x4000}},
     1,
     DEVICE_SIZE - O - 0x20000,
     DEVICE_SIZE - O - 0x20000},
    {"same offset does not limit", {{O}, {O}}, 1, DEVICE_SIZE - O, DEVICE_SIZE - O},
    {"same offset skipped, next follower counts", {{O}, {O}, {O + 0x100}}, 0, 0x100, 0x100},
    {"entries before are ignored",
     {{0x30000}, {O}, {0x1000}},
     0,
     DEVICE_SIZE - 0x30000,
     DEVICE_SIZE - 0x30000},
    {"inside the area before the FAT", {{0x100}, {O}}, 0, O - 0x100, O - 0x100},
    {"over the device-identifier record",
     {{O}, {DEVICE_ID_AREA}},
     1,
     DEVICE_ID_AREA_SIZE,
     DEVICE_ID_AREA_SIZE},
    {"at the device end", {{O}, {DEVICE_SIZE}}, 1, 0, 0},
    {"past the device end wraps", {{DEVICE_SIZE + 0x10}}, 0, 0xFFFFFFF0, 0xFFFFFFF0},

    {"load-address bound with flag bit 1",
     {{O, FLAG_LOAD_ADDRESS, 0x100000}, {O + 0x10000, 0, 0x100800}},
     0,
     0x10000,
     0x800},
    {"no load-address bound without flag bit 1",
     {{O, FLAG_BITS_MASK & ~FLAG_LOAD_ADDRESS, 0x100000}, {O + 0x10000, FLAG_LOAD_ADDRESS, 0x100800}},
     0,
     0x10000,
     0x10000},
    {"nearest higher load address, table unsorted",
     {{O, FLAG_LOAD_ADDRESS, 0x1000}, {O, 0, 0x9000}, {O, 0, 0x3000}, {O, 0, 0x5000}},
     0,
     DEVICE_SIZE - O,
     0x2000},
    {"equal and lower load addresses are ignored",
     {{O, FLAG_LOAD_ADDRESS, 0x100000}, {O + 0x8000, 0, 0x100000}, {O + 0x9000, 0, 0x80000}},
     0,
     0x8000,
     0x8000},
    {"a wider load-address bound keeps the offset bound",
     {{O, FLAG_LOAD_ADDRESS, 0x100000}, {O + 0x100, 0, 0x200000}},
     0,
     0x100,
     0x100},

    // Distances of 0x80000000 and more are negative in the signed comparisons.
    {"a far first follower beats the device end", {{O}, {O + 0x80000000}}, 0, 0x80000000, 0x80000000},
    {"a far follower wins over a nearer one listed after it",
     {{0x100}, {0x90000000}, {0x200}},
     0,
     0x8FFFFF00,
     0x8FFFFF00},
    {"a far follower wins over a nearer one listed before it",
     {{0x100}, {0x200}, {0x90000000}},
     0,
     0x8FFFFF00,
     0x8FFFFF00},
    {"a far load address widens the capacity",
     {{O, FLAG_LOAD_ADDRESS, 0x1000}, {O + 0x1000, 0, 0x90001000}},
     0,
     0x1000,
     0x90000000},
    {"a near load address does not shrink a negative capacity",
     {{0x100, FLAG_LOAD_ADDRESS, 0}, {0x80000100, 0, 0x10}},
     0,
     0x80000000,
     0x80000000},
};

class cCapacityTest : public ::testing::Test {
  protected:
    // The case's table with every size 0 except the asked-for entry's.
    void save(const cCapacityCase& oCase, uint32_t iSize) {
        cTestImage oImage;
        std::vector<cFatSlot> lSlots;
        for (size_t i = 0; i < oCase.lFiles.size(); ++i) {
            const cPlaced& oFile = oCase.lFiles[i];
            lSlots.push_back({"f" + std::to_string(i), oFile.iFlags, oFile.iOffset,
                              i == oCase.iEntry ? iSize : 0, oFile.iLoadAddress});
        }
        oImage.setEntries(lSlots);
        oImage.save(sImage);
    }

    cTempDir oDir;
    const std::string sImage = oDir.file("image.bin");
};

TEST_F(cCapacityTest, RuleInBothModes) {
    for (const cCapacityCase& oCase : CASES) {
        save(oCase, 0);
        cMounted oMounted(sImage);
        const cTinyFsFile& oEntry = oMounted.oFs.getFiles().at(oCase.iEntry);
        EXPECT_EQ(oMounted.oFs.getCapacity(oEntry, false), oCase.iMedia) << oCase.sWhat;
        EXPECT_EQ(oMounted.oFs.getCapacity(oEntry, true), oCase.iBoot) << oCase.sWhat;
        // An entry's own capacity is the boot-time one, also outside the checks.
        EXPECT_EQ(oEntry.getCapacity(), oCase.iBoot) << oCase.sWhat;
    }
}

std::string tooBig(size_t iEntry) {
    return "Filesystem corrupt: File \"f" + std::to_string(iEntry) + "\" too big!";
}

// A size equal to the capacity passes; one byte more fails in that mode.
TEST_F(cCapacityTest, IntegrityChecksTestSizeAgainstCapacity) {
    for (const cCapacityCase& oCase : CASES) {
        save(oCase, std::min(oCase.iMedia, oCase.iBoot));
        {
            cMounted oMounted(sImage);
            EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(false); }), "") << oCase.sWhat;
            EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(true); }), "") << oCase.sWhat;
        }
        for (const bool bBootTime : {false, true}) {
            const uint32_t iCapacity = bBootTime ? oCase.iBoot : oCase.iMedia;
            const uint32_t iOther = bBootTime ? oCase.iMedia : oCase.iBoot;
            if (iCapacity == 0xFFFFFFFF)
                continue;
            save(oCase, iCapacity + 1);
            cMounted oMounted(sImage);
            EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(bBootTime); }), tooBig(oCase.iEntry))
                << oCase.sWhat << (bBootTime ? " (boot time)" : " (media)");
            EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(!bBootTime); }),
                      iCapacity + 1 > iOther ? tooBig(oCase.iEntry) : "")
                << oCase.sWhat << (bBootTime ? " (media)" : " (boot time)");
        }
    }
}

TEST_F(cCapacityTest, FirstInconsistentEntryIsReported) {
    cTestImage oImage;
    oImage.setEntries({{"fine", 0, O, 0x100, 0},
                       {"second", 0, O + 0x100, 0x101, 0},
                       {"third", 0, O + 0x200, DEVICE_SIZE, 0}});
    oImage.save(sImage);
    cMounted oMounted(sImage);
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(false); }),
              "Filesystem corrupt: File \"second\" too big!");
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(true); }),
              "Filesystem corrupt: File \"second\" too big!");
}

// A loaded entry's size is compared as an unsigned number with its capacity.
TEST_F(cCapacityTest, HugeSizesAreTooBig) {
    cTestImage oImage;
    oImage.setEntries({{"huge", 0, O, 0x80000000, 0}});
    oImage.save(sImage);
    cMounted oMounted(sImage);
    EXPECT_EQ(thrownBy([&] { oMounted.oFs.checkIntegrity(false); }),
              "Filesystem corrupt: File \"huge\" too big!");
}

} // namespace
