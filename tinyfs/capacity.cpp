// The capacity rule over a whole table, from the files sorted by offset and by load
// address.
//
// Taken one file at a time, the rule keeps the distance to the first follower, then any
// later distance that is smaller as a signed number: the signed minimum of all distances.
// Distances from 2^31 up are negative as signed numbers, so the signed minimum is the
// smallest distance of at least 2^31 when there is one, else the smallest distance. In
// sorted order both move forward with the file they are taken for, so one walk over the
// sorted values finds them for every file.
#include "tinyfs/capacity.h"

#include <algorithm>

#include "tinyfs/layout.h"

namespace {

constexpr uint64_t NEGATIVE_FROM = uint64_t(1) << 31;
constexpr int INDEX_BITS = 32;

// Sorts lKeys (a value, then the file's position) and tells fVisit, for every file whose
// value has larger ones above it, the signed minimum of its distances up to them.
template <typename tVisit>
void forDistancesUp(std::vector<uint64_t>& lKeys, tVisit fVisit) {
    std::sort(lKeys.begin(), lKeys.end());
    const size_t iCount = lKeys.size();
    const auto value = [&](size_t k) { return lKeys[k] >> INDEX_BITS; };
    size_t iNext = 0, iFar = 0; // the first larger value, the first one at least 2^31 larger
    for (size_t k = 0; k < iCount; ++k) {
        const uint64_t iValue = value(k);
        while (iNext < iCount && value(iNext) <= iValue)
            ++iNext;
        while (iFar < iCount && value(iFar) < iValue + NEGATIVE_FROM)
            ++iFar;
        if (iNext < iCount)
            fVisit(uint32_t(lKeys[k]), uint32_t(value(iFar < iCount ? iFar : iNext) - iValue));
    }
}

} // namespace

cCapacities capacities(const std::vector<cPlacement>& lTable) {
    const size_t iCount = lTable.size();
    cCapacities oCapacities;
    std::vector<uint64_t> lKeys(iCount);
    oCapacities.lMedia.resize(iCount);
    bool bLoadBound = false;
    for (size_t i = 0; i < iCount; ++i) {
        lKeys[i] = uint64_t(lTable[i].iOffset) << INDEX_BITS | i;
        oCapacities.lMedia[i] = DEVICE_SIZE - lTable[i].iOffset; // when no file follows
        bLoadBound = bLoadBound || lTable[i].bLoadAddress;
    }
    forDistancesUp(lKeys, [&](uint32_t i, uint32_t iDistance) { oCapacities.lMedia[i] = iDistance; });
    oCapacities.lBootTime = oCapacities.lMedia;
    if (bLoadBound) {
        for (size_t i = 0; i < iCount; ++i)
            lKeys[i] = uint64_t(lTable[i].iLoadAddress) << INDEX_BITS | i;
        forDistancesUp(lKeys, [&](uint32_t i, uint32_t iDistance) {
            uint32_t& iCap = oCapacities.lBootTime[i];
            if (lTable[i].bLoadAddress && int32_t(iDistance) <= int32_t(iCap))
                iCap = iDistance;
        });
    }
    // Last, so that no signed distance can carry a room below the FAT past it.
    for (size_t i = 0; i < iCount; ++i) {
        if (const std::optional<uint32_t> iRoom = roomBeforeFat(lTable[i].iOffset)) {
            oCapacities.lMedia[i] = std::min(oCapacities.lMedia[i], *iRoom);
            oCapacities.lBootTime[i] = std::min(oCapacities.lBootTime[i], *iRoom);
        }
    }
    return oCapacities;
}

std::optional<uint32_t> roomBeforeFat(uint32_t iOffset) {
    if (iOffset >= FAT_OFFSET)
        return std::nullopt;
    return FAT_OFFSET - iOffset;
}
