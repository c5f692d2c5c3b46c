// Power cuts at every page a changing command programs, before the page or in its
// middle: only the pages the command had to change may differ afterwards, each holding
// its old bytes, its new bytes or (torn) new bytes up to the cut, and the following
// "--list" and "--check" still answer with their own messages. Each case prints what the
// cuts did, as measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "tests/faults/faultBench.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/layout.h"

namespace {

using namespace sample;

const char NEW_MAC[] = "0a:1b:2c:3d:4e:5f";
const char NEW_DEVICE_ID[] = "replacement-id-0042";
constexpr uint32_t ALIGNED_INPUT_BYTES = 3 * PAGE_SIZE;
constexpr uint32_t UNALIGNED_INPUT_BYTES = 9000; // two blocks of the write loop
constexpr uint32_t FULL_INPUT_BYTES = 1500;
constexpr int KILLED = 128 + SIGKILL;
constexpr uint32_t TORN_BYTES = PAGE_SIZE / 2; // what the interposer writes of a torn page
const int32_t HEADER_PAGE = int32_t((FAT_OFFSET + HEADER_MAGIC_POS) / PAGE_SIZE);

std::vector<cCommandCase> cutCases() {
    const cImageBuilder oSmall = smallImage();
    const cImageBuilder oFull = fullImage();
    const uint32_t iRecord = uint32_t(encodeDeviceId(NEW_DEVICE_ID).size());
    return {
        {"write_aligned",
         {"--write", "kernel", INPUT_ARG},
         oSmall,
         randomBytes(ALIGNED_INPUT_BYTES, 21),
         {fatRange(), {KERNEL_OFFSET, KERNEL_OFFSET + ALIGNED_INPUT_BYTES}},
         "kernel"},
        {"write_unaligned",
         {"--write", "rootfs", INPUT_ARG},
         oSmall,
         randomBytes(UNALIGNED_INPUT_BYTES, 22),
         {fatRange(), {ROOTFS_OFFSET, ROOTFS_OFFSET + UNALIGNED_INPUT_BYTES}},
         "rootfs"},
        {"write_full_table",
         {"--write", FULL_WRITE_NAME, INPUT_ARG},
         oFull,
         randomBytes(FULL_INPUT_BYTES, 23),
         {fatRange(), {FULL_WRITE_OFFSET, FULL_WRITE_OFFSET + FULL_INPUT_BYTES}},
         FULL_WRITE_NAME},
        {"rename", {"--rename", "rootfs", "system"}, oSmall, {}, {fatRange()}, ""},
        {"rename_full_table_early_slot",
         {"--rename", FULL_RENAME_EARLY_NAME, "renamed"},
         oFull,
         {},
         {fatRange()},
         ""},
        {"rename_full_table_late_slot",
         {"--rename", FULL_RENAME_LATE_NAME, "renamed"},
         oFull,
         {},
         {fatRange()},
         ""},
        {"set_mac", {"--set-mac", NEW_MAC}, oSmall, {}, {{MAC_OFFSET, MAC_OFFSET + MAC_TEXT_LENGTH}}, ""},
        {"set_device_id",
         {"--set-device-id", NEW_DEVICE_ID},
         oSmall,
         {},
         {{DEVICE_ID_AREA, DEVICE_ID_AREA + iRecord}},
         ""},
    };
}

std::vector<int32_t> differingPages(const std::vector<uint8_t>& lA, const std::vector<uint8_t>& lB) {
    std::vector<int32_t> lPages;
    if (lA.size() != DEVICE_SIZE || lB.size() != DEVICE_SIZE)
        throw std::runtime_error("image of the wrong size");
    for (int32_t iPage = 0; iPage < PAGE_COUNT; ++iPage)
        if (std::memcmp(lA.data() + size_t(iPage) * PAGE_SIZE, lB.data() + size_t(iPage) * PAGE_SIZE,
                        PAGE_SIZE) != 0)
            lPages.push_back(iPage);
    return lPages;
}

// Counts outcomes under their names, and prints them as one line.
class cTally {
  public:
    void add(const std::string& sOutcome) { ++lCounts[sOutcome]; }
    std::string text() const {
        std::ostringstream oOut;
        for (const auto& [sOutcome, iCount] : lCounts)
            oOut << (oOut.tellp() > 0 ? ", " : "") << sOutcome << " " << iCount;
        return oOut.str();
    }

  private:
    std::map<std::string, int> lCounts;
};

// The last line of a text, without its line end.
std::string lastLine(const std::string& sText) {
    const size_t iEnd = sText.empty() ? 0 : sText.size() - 1;
    const size_t iStart = sText.rfind('\n', iEnd == 0 ? 0 : iEnd - 1);
    return sText.substr(iStart == std::string::npos ? 0 : iStart + 1,
                        iEnd - (iStart == std::string::npos ? 0 : iStart + 1));
}

class PowerCut : public testing::TestWithParam<cCommandCase> {};

TEST_P(PowerCut, damageStaysWithinThePagesTheCommandChanges) {
    const cCommandCase& oCase = GetParam();
    const cFaultBench oBench(oCase);

    const cRunResult oFree = oBench.run({});
    ASSERT_EQ(oFree.iStatus, 0) << oFree.sErr;
    const std::vector<uint8_t> lAfter = oBench.image();
    const std::vector<int32_t> lWritten = oBench.log().writtenPages();
    const std::vector<int32_t> lChanged = differingPages(oBench.before(), lAfter);
    ASSERT_FALSE(lWritten.empty());
    ASSERT_EQ(foreignChanges(oBench.before(), lAfter, oCase.lMayTouch), "");
    const cRunResult oCheckAfter = oBench.run({}, {"--check"});
    ASSERT_EQ(oCheckAfter.iStatus, 0) << oCheckAfter.sErr;

    const std::regex oListFailure(R"(Fatal: (File system corrupt! \(.*\)|invalid image)\n)");
    const std::regex oCheckFailure(
        R"(Fatal: (CheckSum error: 0x[0-9a-f]+ != 0x[0-9a-f]+!|)"
        R"(Filesystem corrupt: File ".*" too big!|file exceeds device \(".*"\)|invalid image)\n)");
    cTally oImages, oChecks, oLists;
    for (size_t iCut = 1; iCut <= lWritten.size(); ++iCut) {
        for (const bool bTorn : {false, true}) {
            const std::string sCut = std::to_string(iCut) + (bTorn ? ":torn" : ":before");
            SCOPED_TRACE(oCase.sName + " cut at page " + sCut);
            const int32_t iCutPage = lWritten[iCut - 1];
            oBench.reset();
            cIoSetup oSetup;
            oSetup.sCut = sCut;
            const cRunResult oRun = oBench.run(oSetup);
            ASSERT_EQ(oRun.iStatus, KILLED) << oRun.sErr;
            ASSERT_EQ(oBench.log().getCutPage(), iCutPage);
            const std::vector<uint8_t> lImage = oBench.image();

            // The pages programmed before the cut hold their new bytes, a torn page
            // its new bytes up to the cut, every other page its old bytes.
            std::vector<uint8_t> lExpected = oBench.before();
            for (size_t i = 0; i + 1 < iCut; ++i) {
                const size_t iFrom = size_t(lWritten[i]) * PAGE_SIZE;
                std::copy(lAfter.begin() + std::ptrdiff_t(iFrom),
                          lAfter.begin() + std::ptrdiff_t(iFrom + PAGE_SIZE),
                          lExpected.begin() + std::ptrdiff_t(iFrom));
            }
            if (bTorn) {
                const size_t iFrom = size_t(iCutPage) * PAGE_SIZE;
                std::copy(lAfter.begin() + std::ptrdiff_t(iFrom),
                          lAfter.begin() + std::ptrdiff_t(iFrom + TORN_BYTES),
                          lExpected.begin() + std::ptrdiff_t(iFrom));
            }
            for (const int32_t iPage : differingPages(oBench.before(), lImage)) {
                EXPECT_TRUE(std::find(lChanged.begin(), lChanged.end(), iPage) != lChanged.end())
                    << "page " << iPage << " changed, but the command had no reason to change it";
            }
            EXPECT_EQ(foreignChanges(lExpected, lImage, {}), "");
            oImages.add(lImage == oBench.before() ? "unchanged"
                        : lImage == lAfter        ? "complete"
                                                  : "partly changed");

            const bool bHeaderHit = iCutPage == HEADER_PAGE;
            const cRunResult oList = oBench.run({}, {"--list"});
            if (oList.iStatus == 0) {
                EXPECT_EQ(oList.sErr, "");
                oLists.add("--list ok");
            } else {
                EXPECT_EQ(oList.iStatus, 1);
                EXPECT_TRUE(std::regex_match(oList.sErr, oListFailure)) << oList.sErr;
                if (oList.sErr == "Fatal: invalid image\n") {
                    EXPECT_TRUE(bHeaderHit) << "the FAT header was lost by a cut elsewhere";
                }
                oLists.add("--list " + oList.sErr.substr(0, oList.sErr.size() - 1));
            }

            const cRunResult oCheck = oBench.run({}, {"--check"});
            if (lImage == oBench.before() || lImage == lAfter) {
                EXPECT_EQ(oCheck.iStatus, 0) << oCheck.sErr;
            }
            if (oCheck.iStatus == 0) {
                EXPECT_EQ(oCheck.sErr, "");
                EXPECT_EQ(lastLine(oCheck.sOut), "Filesystem is ready and clean.");
                oChecks.add("--check clean");
            } else {
                EXPECT_EQ(oCheck.iStatus, 1);
                EXPECT_TRUE(std::regex_match(oCheck.sErr, oCheckFailure)) << oCheck.sErr;
                if (oCheck.sErr == "Fatal: invalid image\n") {
                    EXPECT_TRUE(bHeaderHit) << "the FAT header was lost by a cut elsewhere";
                }
                // Damage shows in the file the command was rewriting, nowhere else.
                if (oCheck.sErr.rfind("Fatal: CheckSum error", 0) == 0) {
                    EXPECT_EQ(lastLine(oCheck.sOut), "  * Checking " + oCase.sWrittenFile + "...");
                    oChecks.add("--check checksum error in the rewritten file");
                } else {
                    oChecks.add("--check " + oCheck.sErr.substr(0, oCheck.sErr.size() - 1));
                }
            }
            if (HasFailure())
                return;
        }
    }
    std::ostringstream oSummary;
    oSummary << oCase.sName << ": " << lWritten.size() << " pages programmed (" << lChanged.size()
             << " differ), " << 2 * lWritten.size() << " cuts: " << oImages.text() << "; " << oChecks.text()
             << "; " << oLists.text();
    std::cout << "power cut summary " << oSummary.str() << "\n";
    RecordProperty("summary", oSummary.str());
}

INSTANTIATE_TEST_SUITE_P(Commands, PowerCut, testing::ValuesIn(cutCases()),
                         [](const testing::TestParamInfo<cCommandCase>& oInfo) { return oInfo.param.sName; });

} // namespace
