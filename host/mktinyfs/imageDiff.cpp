// Comparing two images as their reports show them, file by file and byte by byte.
#include "host/mktinyfs/imageDiff.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>

#include "host/mktinyfs/cJsonWriter.h"
#include "host/mktinyfs/contentDigest.h"
#include "host/mktinyfs/manifestWords.h"
#include "tinyfs/hexText.h"

namespace {

struct cArea {
    const char* sName;
    uint32_t iFrom;
    uint32_t iTo; // one past the end
};
constexpr cArea AREAS[] = {{"outside", 0, FAT_OFFSET},
                           {"table", FAT_OFFSET, DATA_OFFSET},
                           {"outside", DATA_OFFSET, DEVICE_ID_AREA},
                           {"record", DEVICE_ID_AREA, DEVICE_SIZE}};

// The fields of an entry that --diff compares one by one, as it shows them; two entries
// differ in a field when they show it differently.
struct cField {
    const char* sKey;   // in JSON
    const char* sLabel; // in text
    std::string (*fShow)(const cSlotReport& oSlot);
};
const cField FIELDS[] = {
    {"slot", "slot", [](const cSlotReport& o) { return std::to_string(o.iSlot); }},
    {"offset", "offset", [](const cSlotReport& o) { return hexNumber(o.oEntry.iOffset); }},
    {"room", "room", [](const cSlotReport& o) { return o.iBootRoom ? std::to_string(*o.iBootRoom) : "-"; }},
    {"flags", "flags", [](const cSlotReport& o) { return flagsText(o.oEntry.iFlags); }},
    {"load_address", "load address", [](const cSlotReport& o) { return hexNumber(o.oEntry.iLoadAddress); }},
    {"checksum_recorded", "recorded checksum",
     [](const cSlotReport& o) { return checksumText(o.iRecorded); }},
};

// The first byte from which iLength bytes at pA and pB differ, iLength when none does:
// whole blocks through memcmp, only the block that differs byte by byte.
uint32_t firstDifference(const uint8_t* pA, const uint8_t* pB, uint32_t iLength) {
    uint32_t iAt = 0;
    while (iAt < iLength && std::memcmp(pA + iAt, pB + iAt, std::min(PAGE_SIZE, iLength - iAt)) == 0)
        iAt += std::min(PAGE_SIZE, iLength - iAt);
    return iAt + uint32_t(std::mismatch(pA + iAt, pA + std::min(iLength, iAt + PAGE_SIZE), pB + iAt).first -
                          (pA + iAt));
}

// What of a file's contents tells a rename: files whose keys differ hold different
// contents.
using tContentKey =
    std::tuple<uint32_t, uint32_t, std::optional<uint16_t>, uint64_t>; // size, inside, computed, digest

class cDiffer {
  public:
    cDiffer(const cImageReport& oOld, const cImageReport& oNew, cImageDiff& oDiff)
        : oOld(oOld), oNew(oNew), oDiff(oDiff) {}

    // Same names pair in slot order; then a file only in the old image pairs with the first
    // one only in the new image that holds the same contents: a rename. Candidates are
    // found by a digest of their contents, so the cost grows with the bytes of the files,
    // not with the pairs of them whose sizes and checksums agree.
    void compareFiles() {
        std::map<std::string, std::vector<const cSlotReport*>> lByName;
        for (auto it = oNew.lFiles.rbegin(); it != oNew.lFiles.rend(); ++it)
            lByName[it->oEntry.sName].push_back(&*it);
        std::vector<cFileChange> lPairs;
        for (const cSlotReport& oSlot : oOld.lFiles) {
            std::vector<const cSlotReport*>& lSame = lByName[oSlot.oEntry.sName];
            lPairs.push_back({&oSlot, lSame.empty() ? nullptr : lSame.back(), {}, 0});
            if (!lSame.empty())
                lSame.pop_back();
        }
        std::vector<const cSlotReport*> lOnlyNew;
        for (const cSlotReport& oSlot : oNew.lFiles) {
            std::vector<const cSlotReport*>& lLeft = lByName[oSlot.oEntry.sName];
            if (std::find(lLeft.begin(), lLeft.end(), &oSlot) != lLeft.end())
                lOnlyNew.push_back(&oSlot);
        }
        std::vector<cFileChange*> lOnlyOld;
        for (cFileChange& oPair : lPairs) {
            if (!oPair.pNew)
                lOnlyOld.push_back(&oPair);
        }
        if (!lOnlyOld.empty() && !lOnlyNew.empty())
            pairRenames(lOnlyOld, lOnlyNew);
        for (cFileChange& oPair : lPairs) {
            if (oPair.pNew)
                compareFields(oPair);
            if (!oPair.lChanges.empty() || !oPair.pNew)
                oDiff.lFiles.push_back(oPair);
        }
        for (const cSlotReport* pSlot : lOnlyNew) {
            if (pSlot)
                oDiff.lFiles.push_back({nullptr, pSlot, {}, 0});
        }
    }

    // Every range of differing bytes outside the contents of all files of both tables, in
    // the areas outside the table and the record, or with bFieldAreas in those two.
    void compareBytes(bool bFieldAreas) {
        std::vector<std::pair<uint32_t, uint32_t>> lCovered;
        for (const cImageReport* pReport : {&oOld, &oNew}) {
            for (const cSlotReport& oSlot : pReport->lFiles) {
                if (oSlot.iInside > 0)
                    lCovered.emplace_back(oSlot.oEntry.iOffset, oSlot.oEntry.iOffset + oSlot.iInside);
            }
        }
        std::sort(lCovered.begin(), lCovered.end());
        for (const cArea& oArea : AREAS) {
            if ((std::strcmp(oArea.sName, "outside") != 0) != bFieldAreas)
                continue;
            uint32_t iAt = oArea.iFrom;
            for (const auto& oCovered : lCovered) {
                if (oCovered.first > iAt)
                    compareRange(oArea, iAt, std::min(oCovered.first, oArea.iTo));
                iAt = std::max(iAt, oCovered.second);
            }
            compareRange(oArea, iAt, oArea.iTo);
        }
    }

  private:
    // Each file only in the old image, in slot order, takes the first file only in the new
    // image, in slot order, whose contents are the same; what it takes leaves lOnlyNew.
    void pairRenames(const std::vector<cFileChange*>& lOnlyOld, std::vector<const cSlotReport*>& lOnlyNew) {
        const uint64_t iPoint = drawDigestPoint();
        std::vector<const cSlotReport*> lOldSlots;
        for (const cFileChange* pPair : lOnlyOld)
            lOldSlots.push_back(pPair->pOld);
        const std::vector<tContentKey> lOldKeys = keys(oOld, lOldSlots, iPoint);
        const std::vector<tContentKey> lNewKeys = keys(oNew, lOnlyNew, iPoint);
        // Per key, the candidates in slot order, and how many at the front are taken.
        std::map<tContentKey, std::pair<std::vector<size_t>, size_t>> lCandidates;
        for (size_t i = 0; i < lOnlyNew.size(); ++i)
            lCandidates[lNewKeys[i]].first.push_back(i);
        for (size_t i = 0; i < lOnlyOld.size(); ++i) {
            const auto oFound = lCandidates.find(lOldKeys[i]);
            if (oFound == lCandidates.end())
                continue;
            auto& [lSame, iTaken] = oFound->second;
            for (size_t j = iTaken; j < lSame.size(); ++j) {
                const cSlotReport*& pCandidate = lOnlyNew[lSame[j]];
                iTaken += j == iTaken && !pCandidate;
                // The digest's verdict, confirmed: the output never rests on it.
                if (!pCandidate || !sameContents(*lOnlyOld[i]->pOld, *pCandidate))
                    continue;
                lOnlyOld[i]->pNew = pCandidate;
                lOnlyOld[i]->lChanges.push_back("name");
                pCandidate = nullptr;
                iTaken += j == iTaken;
                break;
            }
        }
    }

    // The keys of lSlots of oReport; slots of one range share its digest, computed once.
    static std::vector<tContentKey> keys(const cImageReport& oReport,
                                         const std::vector<const cSlotReport*>& lSlots, uint64_t iPoint) {
        std::map<std::pair<uint32_t, uint32_t>, uint64_t> lDigests;
        std::vector<tContentKey> lKeys;
        for (const cSlotReport* pSlot : lSlots) {
            const uint32_t iFrom = pSlot->iInside ? pSlot->oEntry.iOffset : 0;
            const auto oKnown = lDigests.emplace(std::make_pair(iFrom, pSlot->iInside), 0);
            if (oKnown.second)
                oKnown.first->second = digestBytes(oReport.lImage.data() + iFrom, pSlot->iInside, iPoint);
            lKeys.emplace_back(pSlot->oEntry.iSize, pSlot->iInside, pSlot->iComputed, oKnown.first->second);
        }
        return lKeys;
    }

    // Whether two files hold the same contents, with in iFirst the first byte they differ
    // in; each pair of byte ranges is compared once, however many files share them.
    bool sameContents(const cSlotReport& oA, const cSlotReport& oB, uint32_t* pFirst = nullptr) {
        const uint32_t iCommon = std::min(oA.iInside, oB.iInside);
        const uint32_t iFromA = oA.iInside ? oA.oEntry.iOffset : 0;
        const uint32_t iFromB = oB.iInside ? oB.oEntry.iOffset : 0;
        const auto oKnown = lCompared.emplace(std::make_tuple(iFromA, iFromB, iCommon), 0);
        if (oKnown.second)
            oKnown.first->second =
                firstDifference(oOld.lImage.data() + iFromA, oNew.lImage.data() + iFromB, iCommon);
        const uint32_t iFirst = oKnown.first->second;
        if (pFirst)
            *pFirst = iFirst;
        return iFirst == iCommon && oA.iInside == oB.iInside && oA.oEntry.iSize == oB.oEntry.iSize;
    }

    void compareFields(cFileChange& oPair) {
        if (!sameContents(*oPair.pOld, *oPair.pNew, &oPair.iFirstDifference))
            oPair.lChanges.push_back("contents");
        for (const cField& oField : FIELDS) {
            if (oField.fShow(*oPair.pOld) != oField.fShow(*oPair.pNew))
                oPair.lChanges.push_back(oField.sKey);
        }
    }

    void compareRange(const cArea& oArea, uint32_t iFrom, uint32_t iTo) {
        const uint8_t* pA = oOld.lImage.data();
        const uint8_t* pB = oNew.lImage.data();
        if (iFrom >= iTo || std::memcmp(pA + iFrom, pB + iFrom, iTo - iFrom) == 0)
            return;
        cByteRange* pOpen = nullptr;
        for (uint32_t i = iFrom; i < iTo; ++i) {
            if (pA[i] == pB[i])
                continue;
            if (!pOpen || i - pOpen->iTo > PAGE_SIZE)
                pOpen = &oDiff.lRanges.emplace_back(cByteRange{oArea.sName, i, i, 0});
            pOpen->iTo = i;
            ++pOpen->iDiffer;
        }
    }

    const cImageReport& oOld;
    const cImageReport& oNew;
    cImageDiff& oDiff;
    // The first difference of the ranges compared so far, by their starts and length.
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint32_t> lCompared;
};

std::string change(const cFileChange& oChange, const std::string& sWhat) {
    const cSlotReport& oA = *oChange.pOld;
    const cSlotReport& oB = *oChange.pNew;
    if (sWhat == "name")
        return "renamed to " + quoteWord(oB.oEntry.sName) + ", same contents";
    if (sWhat == "contents")
        return "contents: " + std::to_string(oA.oEntry.iSize) + " -> " + std::to_string(oB.oEntry.iSize) +
               " bytes, checksum " + checksumText(oA.iComputed) + " -> " + checksumText(oB.iComputed) +
               ", first difference at byte " + std::to_string(oChange.iFirstDifference);
    for (const cField& oField : FIELDS) {
        if (sWhat == oField.sKey)
            return std::string(oField.sLabel) + ": " + oField.fShow(oA) + " -> " + oField.fShow(oB);
    }
    return sWhat;
}

std::string where(const cSlotReport& oSlot) {
    return "(slot " + std::to_string(oSlot.iSlot) + ", " + std::to_string(oSlot.oEntry.iSize) + " bytes at " +
           hexNumber(oSlot.oEntry.iOffset) + ")";
}

std::string header(const cImageReport& oReport) {
    return std::string(oReport.bValidHeader ? "valid" : "invalid") + " (magic word " +
           hexNumber(oReport.iMagic) + ")";
}

} // namespace

cImageDiff diffImages(const cImageReport& oOld, const cImageReport& oNew) {
    cImageDiff oDiff;
    oDiff.bHeader = oOld.iMagic != oNew.iMagic;
    cDiffer oDiffer(oOld, oNew, oDiff);
    oDiffer.compareFiles();
    oDiff.bMac = oOld.sMac != oNew.sMac;
    oDiff.bDeviceId = oOld.sDeviceId != oNew.sDeviceId;
    oDiffer.compareBytes(false);
    // Bytes of the table or the record that no field shows (a name's bytes after its end,
    // the header's unused bytes) still make the images differ.
    if (oDiff.isSame() && oOld.lImage != oNew.lImage)
        oDiffer.compareBytes(true);
    return oDiff;
}

std::string diffText(const cImageReport& oOld, const cImageReport& oNew, const cImageDiff& oDiff) {
    std::string sText;
    if (oDiff.bHeader)
        sText += "header: " + header(oOld) + " -> " + header(oNew) + "\n";
    for (const cFileChange& oChange : oDiff.lFiles) {
        if (!oChange.pNew)
            sText += quoteWord(oChange.pOld->oEntry.sName) + ": only in the old image " +
                     where(*oChange.pOld) + "\n";
        else if (!oChange.pOld)
            sText += quoteWord(oChange.pNew->oEntry.sName) + ": only in the new image " +
                     where(*oChange.pNew) + "\n";
        for (const std::string& sWhat : oChange.lChanges)
            sText += quoteWord((sWhat == "name" ? oChange.pOld : oChange.pNew)->oEntry.sName) + ": " +
                     change(oChange, sWhat) + "\n";
    }
    if (oDiff.bMac)
        sText += "mac address: " + bytesText(oOld.sMac) + " -> " + bytesText(oNew.sMac) + "\n";
    if (oDiff.bDeviceId)
        sText += "device id: " + bytesText(oOld.sDeviceId) + " -> " + bytesText(oNew.sDeviceId) + "\n";
    for (const cByteRange& oRange : oDiff.lRanges)
        sText += std::string(oRange.sArea) + " " + hexNumber(oRange.iFrom) + ".." + hexNumber(oRange.iTo) +
                 ": " + std::to_string(oRange.iDiffer) + " of " +
                 std::to_string(oRange.iTo - oRange.iFrom + 1) + " bytes differ\n";
    return sText;
}

std::string diffJson(const cImageReport& oOld, const cImageReport& oNew, const cImageDiff& oDiff) {
    cJsonWriter oJson;
    oJson.open('{').key("schema").number(REPORT_SCHEMA).key("same").boolean(oDiff.isSame()).key("header");
    if (oDiff.bHeader) {
        oJson.open('{');
        for (const cImageReport* pReport : {&oOld, &oNew}) {
            oJson.key(pReport == &oOld ? "old" : "new").open('{').key("valid").boolean(pReport->bValidHeader);
            oJson.key("magic").number(pReport->iMagic).close('}');
        }
        oJson.close('}');
    } else {
        oJson.null();
    }
    oJson.key("files").open('[');
    for (const cFileChange& oChange : oDiff.lFiles) {
        oJson.open('{').key("change").text(!oChange.pOld   ? "only_new"
                                           : !oChange.pNew ? "only_old"
                                                           : "changed");
        oJson.key("changes").open('[');
        for (const std::string& sWhat : oChange.lChanges)
            oJson.text(sWhat);
        oJson.close(']').key("first_difference");
        if (std::find(oChange.lChanges.begin(), oChange.lChanges.end(), "contents") != oChange.lChanges.end())
            oJson.number(oChange.iFirstDifference);
        else
            oJson.null();
        for (const cSlotReport* pSlot : {oChange.pOld, oChange.pNew}) {
            oJson.key(pSlot == oChange.pOld ? "old" : "new");
            if (pSlot)
                putSlot(oJson, *pSlot);
            else
                oJson.null();
        }
        oJson.close('}');
    }
    oJson.close(']');
    for (const bool bMac : {true, false}) {
        oJson.key(bMac ? "mac_address" : "device_id");
        if (!(bMac ? oDiff.bMac : oDiff.bDeviceId)) {
            oJson.null();
            continue;
        }
        oJson.open('{');
        putBytes(oJson, "old", bMac ? oOld.sMac : oOld.sDeviceId);
        putBytes(oJson, "new", bMac ? oNew.sMac : oNew.sDeviceId);
        oJson.close('}');
    }
    oJson.key("bytes").open('[');
    for (const cByteRange& oRange : oDiff.lRanges) {
        oJson.open('{').key("area").text(oRange.sArea).key("from").number(oRange.iFrom);
        oJson.key("to").number(oRange.iTo).key("differ").number(oRange.iDiffer).close('}');
    }
    return oJson.close(']').close('}').str();
}
