// The capacity of every file from one sorted pass, against the rule taken file by file in
// table order over random tables whose distances cross 2^31, where signed and unsigned
// comparisons part, and whose files often start below the FAT.
#include <gtest/gtest.h>

#include <random>

#include "tinyfs/capacity.h"
#include "tinyfs/layout.h"

namespace {

uint32_t reference(const std::vector<cPlacement>& lTable, size_t iEntry, bool bBootTime) {
    const cPlacement& oFile = lTable[iEntry];
    uint32_t iCap = DEVICE_SIZE - oFile.iOffset;
    bool bFollower = false;
    for (const cPlacement& oOther : lTable) {
        const uint32_t iDistance = oOther.iOffset - oFile.iOffset;
        if (oOther.iOffset > oFile.iOffset && (!bFollower || int32_t(iDistance) < int32_t(iCap)))
            iCap = iDistance;
        bFollower = bFollower || oOther.iOffset > oFile.iOffset;
    }
    for (const cPlacement& oOther : lTable)
        if (bBootTime && oFile.bLoadAddress && oOther.iLoadAddress > oFile.iLoadAddress &&
            int32_t(oOther.iLoadAddress - oFile.iLoadAddress) <= int32_t(iCap))
            iCap = oOther.iLoadAddress - oFile.iLoadAddress;
    return oFile.iOffset < FAT_OFFSET && iCap > FAT_OFFSET - oFile.iOffset ? FAT_OFFSET - oFile.iOffset
                                                                           : iCap;
}

void expectRule(const std::vector<cPlacement>& lTable, int iTable) {
    const cCapacities oCapacities = capacities(lTable);
    for (size_t i = 0; i < lTable.size(); ++i) {
        ASSERT_EQ(oCapacities.lMedia[i], reference(lTable, i, false)) << iTable << " " << i;
        ASSERT_EQ(oCapacities.lBootTime[i], reference(lTable, i, true)) << iTable << " " << i;
    }
}

TEST(Capacity, SortedPassAgreesWithTheRuleFileByFile) {
    std::mt19937 oRng(3);
    const uint32_t BASES[] = {0, DATA_OFFSET, DEVICE_SIZE, 0x7FFF0000, 0x80000000, 0xFFFF0000};
    const auto pick = [&] {
        return uint32_t(BASES[oRng() % 6] + (oRng() % 3 ? oRng() % 16 << oRng() % 17 : oRng()));
    };
    for (int iTable = 0; iTable < 3000; ++iTable) {
        std::vector<cPlacement> lTable(1 + oRng() % 12);
        for (cPlacement& oFile : lTable)
            oFile = {pick(), pick(), oRng() % 2 == 0};
        expectRule(lTable, iTable);
    }
}

// A follower exactly 2^31 away, where the signed minimum turns, beside a nearer one: random
// tables seldom hold both.
TEST(Capacity, FollowerExactlyTwoToTheThirtyOneAway) {
    const uint32_t HALF = uint32_t(1) << 31;
    for (const uint32_t iBase : {uint32_t(DATA_OFFSET), HALF - 0x10})
        expectRule(
            {{iBase, iBase, true}, {iBase + 0x10, iBase + 0x10, true}, {iBase + HALF, iBase + HALF, true}},
            0);
}

} // namespace
