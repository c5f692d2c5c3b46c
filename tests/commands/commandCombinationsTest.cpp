// End-to-end tests of several commands in one run: the fixed order the driver runs them
// in whatever the command line says, a failure ending the run (and what earlier
// commands left on the device), and the help screen and banner around commands.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/commands/commandTestSupport.h"

namespace {

constexpr char OLD_MAC[] = "00:00:00:00:00:00";
constexpr char NEW_MAC[] = "11:22:33:44:55:66";
constexpr uint32_t ID_AREA_LENGTH = 64;
constexpr uint32_t KERNEL_OFFSET = FIRST_FILE + PAGE_SIZE;
constexpr uint32_t LOGO_OFFSET = FIRST_FILE + 3 * PAGE_SIZE;

const tBytes KERNEL = pattern(400, 51);
const tBytes LOGO = pattern(50, 52);

const std::string MAC_LINE = "mac-address          | 17 bytes         | 99% growable  (1039 bytes left)\n";
const std::string KERNEL_LINE = "kernel               | 400 bytes        | 82% growable  (1712 bytes left)\n";
const std::string LOGO_LINE =
    "logo                 | 50 bytes         | 100% growable (8581991 bytes left)\n";
const std::string CHECK_REPORT =
    "** Checking media integrity...\n** Checking boot-time integrity...\n"
    "** Checking content integrity...\n  * Skip checking mac-address (no checksum)...\n"
    "  * Checking kernel...\n  * Checking logo...\n";

// No device identifier yet: the area is erased.
tBytes comboImage() {
    cImageBuilder oBuilder;
    cImageFile oMac = placedFile("mac-address", textBytes(OLD_MAC), FIRST_FILE);
    oMac.bChecksum = false;
    oBuilder.addFile(oMac);
    oBuilder.addFile(placedFile("kernel", KERNEL, KERNEL_OFFSET));
    oBuilder.addFile(placedFile("logo", LOGO, LOGO_OFFSET));
    return oBuilder.build();
}

tBytes withNewName(tBytes lImage, uint32_t iSlot, const std::string& sName) {
    cFatSlot oSlot = slotOf(lImage, iSlot);
    oSlot.sName = sName;
    putSlot(lImage, iSlot, oSlot);
    return lImage;
}

class cCombinationTest : public cCommandTest {
  protected:
    void SetUp() override { useImage(comboImage()); }
    const std::string sLocal = oDir.file("local.bin");
    const std::string sCopy = oDir.file("copy.bin");
};

TEST_F(cCombinationTest, CommandsRunInTheirFixedOrderWhateverTheCommandLineSays) {
    const tBytes lNew = pattern(900, 53);
    writeBytes(sLocal, lNew);
    // Given in exactly the reverse of the order they run in.
    const cOutcome oRun = brellix({"--write", "vmlinuz", sLocal, "--rename", "kernel", "vmlinuz", "--check",
                                   "--exists", "logo", "--read", "kernel", sCopy, "--list", "--get-device-id",
                                   "--set-device-id", "BX-1", "--get-mac", "--set-mac", NEW_MAC});
    EXPECT_EQ((cOutcome{deviceLine() + "** Using new MAC-Address \"" + NEW_MAC + "\".\n" +
                            "** Current MAC-Address: " + NEW_MAC + "\n" + "BX-1\n" + MAC_LINE + KERNEL_LINE +
                            LOGO_LINE + "** File exists.\n" + CHECK_REPORT +
                            "Filesystem is ready and clean.\n" + "** Renaming to vmlinuz\n",
                        "", 0}),
              oRun);
    // The copy was taken before the rewrite.
    EXPECT_EQ(KERNEL, readBytes(sCopy));

    tBytes lExpected = lBefore;
    putBytes(lExpected, FIRST_FILE, textBytes(NEW_MAC));
    putBytes(lExpected, DEVICE_SIZE - ID_AREA_LENGTH, textBytes(std::string("DEVICE_IDBX-1\0DEVICE_ID", 23)));
    putBytes(lExpected, KERNEL_OFFSET, lNew);
    putSlot(
        lExpected, 2,
        {"vmlinuz", uint32_t(referenceCrc(lNew)) << CHECKSUM_SHIFT, KERNEL_OFFSET, uint32_t(lNew.size()), 0});
    EXPECT_EQ("", imageDifference(lExpected, image()));
}

TEST_F(cCombinationTest, ListRunsBeforeRenameAndShowsTheOldName) {
    for (const std::vector<std::string>& lArgs :
         {std::vector<std::string>{"--rename", "kernel", "vmlinuz", "--list"},
          std::vector<std::string>{"-l", "-mv", "kernel", "vmlinuz"}}) {
        useImage(comboImage());
        EXPECT_EQ(
            (cOutcome{deviceLine() + MAC_LINE + KERNEL_LINE + LOGO_LINE + "** Renaming to vmlinuz\n", "", 0}),
            brellix(lArgs));
        EXPECT_EQ("", imageDifference(withNewName(lBefore, 2, "vmlinuz"), image()));
    }
    EXPECT_EQ((cOutcome{deviceLine() + MAC_LINE +
                            "vmlinuz              | 400 bytes        | 82% growable  (1712 bytes left)\n" +
                            LOGO_LINE,
                        "", 0}),
              brellix({"--list"}));
}

TEST_F(cCombinationTest, GetMacGivenFirstStillReadsTheNewAddress) {
    EXPECT_EQ((cOutcome{deviceLine() + "** Using new MAC-Address \"" + NEW_MAC +
                            "\".\n** Current MAC-Address: " + NEW_MAC + "\n",
                        "", 0}),
              brellix({"--get-mac", "--set-mac", NEW_MAC}));
}

struct cStopCase {
    std::string sLabel;
    std::vector<std::string> lArgs; // "@local" and "@copy" stand for the scratch files
    std::string sErr;
    bool bQuietRun = false;
};

void PrintTo(const cStopCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

// The failing command comes earlier in the fixed order than the commands given with
// it, so none of those runs, and no help screen follows.
class cFailureStopsTest : public cCombinationTest, public ::testing::WithParamInterface<cStopCase> {};

TEST_P(cFailureStopsTest, LaterCommandsDoNotRun) {
    writeBytes(sLocal, pattern(10, 54));
    std::vector<std::string> lArgs = GetParam().lArgs;
    for (std::string& sArg : lArgs)
        sArg = sArg == "@local" ? sLocal : sArg == "@copy" ? sCopy : sArg;
    EXPECT_EQ((cOutcome{GetParam().bQuietRun ? "" : deviceLine(), GetParam().sErr, 1}), brellix(lArgs));
    EXPECT_EQ("", unchanged());
    EXPECT_FALSE(fileExists(sCopy));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, cFailureStopsTest,
    ::testing::Values(
        cStopCase{
            "BadMacStopsList", {"--list", "--set-mac", "short"}, "Fatal: Invalid MAC-Address (\"short\"\n"},
        cStopCase{"MissingDeviceIdStopsEverythingAfter",
                  {"--write", "kernel", "@local", "--list", "--get-device-id", "--help"},
                  "Fatal: No device id!\n"},
        cStopCase{"MissingFileStopsCheckAndRename",
                  {"--rename", "kernel", "vmlinuz", "--check", "--read-stdout", "nope"},
                  "Fatal: file entry not found (\"nope\")\n",
                  true},
        cStopCase{"ChecksumRefusalStopsTheWrite",
                  {"--write", "logo", "@local", "--read", "mac-address", "@copy"},
                  "Fatal: Checksum error would produce invalid output (use --force to write nevertheless)\n"},
        cStopCase{"TooLongIdStopsTheRest",
                  {"--rename", "kernel", "vmlinuz", "--set-device-id", std::string(33, 'x'), "--list"},
                  "Fatal: Device id too large (max 32 characters)\n"}),
    [](const ::testing::TestParamInfo<cStopCase>& oInfo) { return oInfo.param.sLabel; });

TEST_F(cCombinationTest, WhatEarlierCommandsWroteStaysWhenALaterOneFails) {
    EXPECT_EQ((cOutcome{deviceLine() + "** Using new MAC-Address \"" + NEW_MAC + "\".\n",
                        "Fatal: file entry not found (\"nope\")\n", 1}),
              brellix({"--read", "nope", sCopy, "--set-device-id", "BX-2", "--set-mac", NEW_MAC}));
    tBytes lExpected = lBefore;
    putBytes(lExpected, FIRST_FILE, textBytes(NEW_MAC));
    putBytes(lExpected, DEVICE_SIZE - ID_AREA_LENGTH, textBytes(std::string("DEVICE_IDBX-2\0DEVICE_ID", 23)));
    EXPECT_EQ("", imageDifference(lExpected, image()));
    EXPECT_FALSE(fileExists(sCopy));
}

// logo's contents changed on the flash.
class cDamagedLogoTest : public cCombinationTest {
  protected:
    void SetUp() override {
        tBytes lImage = comboImage();
        lImage[LOGO_OFFSET] ^= 0x80;
        useImage(lImage);
    }
    std::string logoError() const {
        return "CheckSum error: 0x" + hexText(referenceCrc(bytesAt(lBefore, LOGO_OFFSET, LOGO.size()))) +
               " != 0x" + hexText(referenceCrc(LOGO)) + "!";
    }
};

TEST_F(cDamagedLogoTest, ContentErrorStopsTheRename) {
    EXPECT_EQ((cOutcome{deviceLine() + CHECK_REPORT, "Fatal: " + logoError() + "\n", 1}),
              brellix({"--rename", "kernel", "vmlinuz", "--check"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cDamagedLogoTest, ForcedCheckLetsTheRenameRun) {
    EXPECT_EQ((cOutcome{deviceLine() + CHECK_REPORT + "** " + logoError() + "\n" +
                            "Filesystem contains errors and is NOT ready for use.\n** Renaming to splash\n",
                        "", 0}),
              brellix({"--rename", "logo", "splash", "--check", "--force"}));
    EXPECT_EQ("", imageDifference(withNewName(lBefore, 3, "splash"), image()));
}

TEST_F(cCombinationTest, CorruptListingStopsTheRename) {
    tBytes lImage = comboImage();
    putLe32(lImage, slotPosition(1) + SLOT_SIZE_POS, PAGE_SIZE + 1);
    useImage(lImage);
    EXPECT_EQ(
        (cOutcome{deviceLine() +
                      "mac-address          | 1057 bytes       | 0% growable   (4294967295 bytes left)\n",
                  "Fatal: File system corrupt! (mac-address)\n", 1}),
        brellix({"--rename", "kernel", "vmlinuz", "--list"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cCombinationTest, HelpScreenFollowsTheCommandsOnlyWhenAskedFor) {
    const std::string sHelp = runBrellix({"--help"}).sOut;
    ASSERT_FALSE(sHelp.empty());
    EXPECT_EQ((cOutcome{deviceLine() + MAC_LINE + KERNEL_LINE + LOGO_LINE + sHelp, "", 0}),
              brellix({"-h", "--list"}));
    EXPECT_EQ((cOutcome{deviceLine() + "** File exists.\n", "", 0}), brellix({"--exists", "logo"}));
    // Modifiers are no commands.
    EXPECT_EQ((cOutcome{deviceLine() + sHelp, "", 0}), brellix({"--verbose", "--force"}));
    const std::string sBanner = runBrellix({"--version"}).sOut;
    ASSERT_FALSE(sBanner.empty());
    EXPECT_EQ((cOutcome{sBanner + deviceLine() + MAC_LINE + KERNEL_LINE + LOGO_LINE, "", 0}),
              brellix({"--list", "--version"}));
}

} // namespace
