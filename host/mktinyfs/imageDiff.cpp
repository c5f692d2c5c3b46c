// Comparing two images as their reports show them, file by file and byte by byte.
#include "host/mktinyfs/imageDiff.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "host/mktinyfs/cJsonWriter.h"
#include "host/mktinyfs/manifestWords.h"
#include "tinyfs/hexText.h"

namespace {

struct cArea {
    const char* pName;
    uint32_t iFrom;
    uint32_t iTo; // one past the end
};
constexpr cArea AREAS[] = {{"outside", 0, FAT_OFFSET},
                           {"table", FAT_OFFSET, DATA_OFFSET},
                           {"outside", DATA_OFFSET, DEVICE_ID_AREA},
                           {"record", DEVICE_ID_AREA, DEVICE_SIZE}};

std::string hex(uint64_t iValue) {
    return "0x" + hexDigits(iValue);
}

// The fields of an entry that --diff compares one by one, as it shows them; two entries
// differ in a field when they show it differently.
struct cField {
    const char* pKey;   // in JSON
    const char* pLabel; // in text
    std::string (*fShow)(const cSlotReport& oSlot);
};
const cField FIELDS[] = {
    {"slot", "slot", [](const cSlotReport& o) { return std::to_string(o.iSlot); }},
    {"offset", "offset", [](const cSlotReport& o) { return hex(o.oEntry.iOffset); }},
    {"room", "room", [](const cSlotReport& o) { return o.iRoom ? std::to_string(*o.iRoom) : "-"; }},
    {"flags", "flags", [](const cSlotReport& o) { return flagsText(o.oEntry.iFlags); }},
    {"load_address", "load address", [](const cSlotReport& o) { return hex(o.oEntry.iLoadAddress); }},
    {"checksum_recorded", "recorded checksum",
     [](const cSlotReport& o) { return checksumText(o.getRecorded()); }},
};

bool sameContents(const cImageReport& oOld, const cSlotReport& oA, const cImageReport& oNew,
                  const cSlotReport& oB, uint32_t& iFirst) {
    const uint32_t iCommon = std::min(oA.iInside, oB.iInside);
    const uint8_t* pA = oOld.lImage.data() + (oA.iInside ? oA.oEntry.iOffset : 0);
    const uint8_t* pB = oNew.lImage.data() + (oB.iInside ? oB.oEntry.iOffset : 0);
    iFirst = uint32_t(std::mismatch(pA, pA + iCommon, pB).first - pA);
    return iFirst == iCommon && oA.iInside == oB.iInside && oA.oEntry.iSize == oB.oEntry.iSize;
}

class cDiffer {
  public:
    cDiffer(const cImageReport& oOld, const cImageReport& oNew, cImageDiff& oDiff)
        : oOld(oOld), oNew(oNew), oDiff(oDiff) {}

    // Same names pair in slot order; then a file only in the old image pairs with one only
    // in the new image that holds the same contents: a rename.
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
        for (cFileChange& oPair : lPairs) {
            for (const cSlotReport*& pCandidate : lOnlyNew) {
                // Sizes and checksums first: a table of many large files must not compare
                // every pair byte by byte.
                uint32_t iFirst = 0;
                if (oPair.pNew || !pCandidate || pCandidate->oEntry.iSize != oPair.pOld->oEntry.iSize ||
                    pCandidate->iComputed != oPair.pOld->iComputed ||
                    !sameContents(oOld, *oPair.pOld, oNew, *pCandidate, iFirst))
                    continue;
                oPair.pNew = pCandidate;
                oPair.lChanges.push_back("name");
                pCandidate = nullptr;
            }
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
            if ((std::strcmp(oArea.pName, "outside") != 0) != bFieldAreas)
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
    void compareFields(cFileChange& oPair) const {
        if (!sameContents(oOld, *oPair.pOld, oNew, *oPair.pNew, oPair.iFirstDifference))
            oPair.lChanges.push_back("contents");
        for (const cField& oField : FIELDS) {
            if (oField.fShow(*oPair.pOld) != oField.fShow(*oPair.pNew))
                oPair.lChanges.push_back(oField.pKey);
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
                pOpen = &oDiff.lRanges.emplace_back(cByteRange{oArea.pName, i, i, 0});
            pOpen->iTo = i;
            ++pOpen->iDiffer;
        }
    }

    const cImageReport& oOld;
    const cImageReport& oNew;
    cImageDiff& oDiff;
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
        if (sWhat == oField.pKey)
            return std::string(oField.pLabel) + ": " + oField.fShow(oA) + " -> " + oField.fShow(oB);
    }
    return sWhat;
}

std::string where(const cSlotReport& oSlot) {
    return "(slot " + std::to_string(oSlot.iSlot) + ", " + std::to_string(oSlot.oEntry.iSize) + " bytes at " +
           hex(oSlot.oEntry.iOffset) + ")";
}

std::string header(const cImageReport& oReport) {
    return std::string(oReport.bValidHeader ? "valid" : "invalid") + " (magic word " + hex(oReport.iMagic) +
           ")";
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
        sText += std::string(oRange.pArea) + " " + hex(oRange.iFrom) + ".." + hex(oRange.iTo) + ": " +
                 std::to_string(oRange.iDiffer) + " of " + std::to_string(oRange.iTo - oRange.iFrom + 1) +
                 " bytes differ\n";
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
        oJson.open('{').key("area").text(oRange.pArea).key("from").number(oRange.iFrom);
        oJson.key("to").number(oRange.iTo).key("differ").number(oRange.iDiffer).close('}');
    }
    return oJson.close(']').close('}').str();
}
