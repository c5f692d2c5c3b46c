// End-to-end tests of the board settings: the MAC address in the file "mac-address"
// ("--set-mac", "--get-mac") and the device-identifier record in the last 64 bytes of
// the device ("--set-device-id", "--get-device-id").
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/commands/commandTestSupport.h"

namespace {

constexpr uint32_t MAC_LENGTH = 17;
constexpr uint32_t ID_AREA_LENGTH = 64;
constexpr uint32_t ID_MAX = 32;
constexpr char MARKER[] = "DEVICE_ID";
constexpr char OLD_MAC[] = "00:00:00:00:00:00";
constexpr char MAC_TAIL[] = "|kept";

// mac-address holds more than the address, and a checksum over all of it; the last page
// of the device holds a pattern, so bytes the record must not touch are recognisable.
tBytes boardImage() {
    cImageBuilder oBuilder;
    oBuilder.addFile(placedFile("mac-address", textBytes(std::string(OLD_MAC) + MAC_TAIL), FIRST_FILE));
    oBuilder.addFile(placedFile("kernel", pattern(300, 41), FIRST_FILE + PAGE_SIZE));
    tBytes lImage = oBuilder.build();
    putBytes(lImage, DEVICE_SIZE - PAGE_SIZE, pattern(PAGE_SIZE, 42));
    return lImage;
}

std::string usingLine(const std::string& sMac) {
    return "** Using new MAC-Address \"" + sMac + "\".\n";
}

tBytes record(const std::string& sId) {
    return textBytes(MARKER + sId + std::string(1, '\0') + MARKER);
}

class cBoardTest : public cCommandTest {
  protected:
    void SetUp() override { useImage(boardImage()); }

    // A run on a device path that does not exist.
    cOutcome onMissingDevice(const std::vector<std::string>& lArgs) const {
        std::vector<std::string> lAll = {"-d", sMissing};
        lAll.insert(lAll.end(), lArgs.begin(), lArgs.end());
        return outcomeOf(runBrellix(lAll));
    }
    std::string missingDeviceLine() const { return "** using device " + sMissing + "\n"; }

    const std::string sMissing = oDir.file("no-such-device");
};

// ---------------------------------------------------------------------------------------
// MAC address

class cSetMacTest : public cBoardTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(cSetMacTest, OverwritesTheFirstSeventeenBytesOnly) {
    const std::string& sMac = GetParam();
    EXPECT_EQ((cOutcome{deviceLine() + usingLine(sMac), "", 0}), brellix({"--set-mac", sMac}));
    // Size, checksum and FAT stay; the bytes after the address stay.
    tBytes lExpected = lBefore;
    putBytes(lExpected, FIRST_FILE, textBytes(sMac));
    EXPECT_EQ("", imageDifference(lExpected, image()));

    EXPECT_EQ((cOutcome{deviceLine() + "** Current MAC-Address: " + sMac + "\n", "", 0}), brellix({"-gm"}));
}

// Anything of 17 bytes is taken as typed.
INSTANTIATE_TEST_SUITE_P(Texts, cSetMacTest,
                         ::testing::Values("00:11:22:33:44:55", "00-11-22-33-44-55", "AA:bb:CC:dd:EE:ff",
                                           "not a mac address"));

TEST_F(cBoardTest, GetMacShowsTheStoredAddress) {
    EXPECT_EQ((cOutcome{deviceLine() + "** Current MAC-Address: " + OLD_MAC + "\n", "", 0}),
              brellix({"--get-mac"}));
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"--get-mac", "--quiet"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cBoardTest, WrongLengthIsRefusedBeforeTheDeviceIsOpened) {
    for (const std::string sMac : {"00:11:22:33:44:5", "00:11:22:33:44:55:", "0"}) {
        SCOPED_TRACE(sMac);
        EXPECT_EQ((cOutcome{missingDeviceLine(), "Fatal: Invalid MAC-Address (\"" + sMac + "\"\n", 1}),
                  onMissingDevice({"--set-mac", sMac}));
        EXPECT_EQ((cOutcome{deviceLine(), "Fatal: Invalid MAC-Address (\"" + sMac + "\"\n", 1}),
                  brellix({"--set-mac", sMac}));
    }
    EXPECT_EQ("", unchanged());
}

TEST_F(cBoardTest, NewAddressLineComesBeforeTheDeviceFails) {
    const std::string sMac = "00:11:22:33:44:55";
    EXPECT_EQ((cOutcome{missingDeviceLine() + usingLine(sMac), "Fatal: unable to open device\n", 1}),
              onMissingDevice({"--set-mac", sMac}));
    EXPECT_EQ((cOutcome{"", "Fatal: unable to open device\n", 1}),
              onMissingDevice({"--set-mac", sMac, "-q"}));
}

TEST_F(cBoardTest, StoredChecksumIsLeftForTheCheckToCompare) {
    const std::string sMac = "12:34:56:78:9a:bc";
    // "--check" runs after "--set-mac" and sees the new text under the old checksum.
    const tBytes lOld = textBytes(std::string(OLD_MAC) + MAC_TAIL);
    const tBytes lNew = textBytes(sMac + MAC_TAIL);
    EXPECT_EQ((cOutcome{deviceLine() + usingLine(sMac) +
                            "** Checking media integrity...\n** Checking boot-time integrity...\n"
                            "** Checking content integrity...\n  * Checking mac-address...\n",
                        "Fatal: CheckSum error: 0x" + hexText(referenceCrc(lNew)) + " != 0x" +
                            hexText(referenceCrc(lOld)) + "!\n",
                        1}),
              brellix({"--check", "--set-mac", sMac}));
    EXPECT_EQ(slotOf(lBefore, 1).iFlags, slotOf(image(), 1).iFlags);
}

TEST_F(cBoardTest, MissingMacFileIsReported) {
    cImageBuilder oBuilder;
    oBuilder.addFile(placedFile("kernel", pattern(300, 43), FIRST_FILE));
    useImage(oBuilder);
    const std::string sMac = "00:11:22:33:44:55";
    EXPECT_EQ(
        (cOutcome{deviceLine() + usingLine(sMac), "Fatal: file entry not found (\"mac-address\")\n", 1}),
        brellix({"--set-mac", sMac}));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: file entry not found (\"mac-address\")\n", 1}),
              brellix({"-gm"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cBoardTest, MacFileShorterThanAnAddressIsNeitherWrittenNorRead) {
    cImageBuilder oBuilder;
    oBuilder.setMac("00:11:22:33:44:5");
    useImage(oBuilder);
    const std::string sMac = "00:11:22:33:44:55";
    EXPECT_EQ((cOutcome{deviceLine() + usingLine(sMac),
                        "Fatal: *** BUG in cTinyFsFile::patch: iSize too big!\n", 1}),
              brellix({"--set-mac", sMac}));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: *** BUG in cTinyFsFile::read: iSize too big!\n", 1}),
              brellix({"--get-mac"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cBoardTest, GetMacStopsAtAZeroByte) {
    tBytes lImage = lBefore;
    putBytes(lImage, FIRST_FILE, textBytes(std::string("00:11\0:22:33:44:55", MAC_LENGTH)));
    useImage(lImage);
    EXPECT_EQ((cOutcome{deviceLine() + "** Current MAC-Address: 00:11\n", "", 0}), brellix({"--get-mac"}));
}

TEST_F(cBoardTest, MacCommandsNeedATinyfsImage) {
    useImage(pattern(DEVICE_SIZE, 44));
    const std::string sMac = "00:11:22:33:44:55";
    EXPECT_EQ((cOutcome{deviceLine() + usingLine(sMac), "Fatal: invalid image\n", 1}),
              brellix({"--set-mac", sMac}));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: invalid image\n", 1}), brellix({"--get-mac"}));
    EXPECT_EQ("", unchanged());
}

// ---------------------------------------------------------------------------------------
// Device identifier

class cSetDeviceIdTest : public cBoardTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(cSetDeviceIdTest, WritesTheRecordAndNothingBehindIt) {
    const std::string& sId = GetParam();
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"--set-device-id", sId}));
    tBytes lExpected = lBefore;
    putBytes(lExpected, DEVICE_SIZE - ID_AREA_LENGTH, record(sId));
    EXPECT_EQ("", imageDifference(lExpected, image()));
    EXPECT_EQ((cOutcome{sId + "\n", "", 0}), brellix({"-gdid", "-q"}));
}

// Up to 32 bytes of any value, the empty identifier included.
INSTANTIATE_TEST_SUITE_P(Identifiers, cSetDeviceIdTest,
                         ::testing::Values("BX-000123", "", std::string(ID_MAX, 'x'),
                                           "with spaces \xc3\xa4\x01\x7f"));

TEST_F(cBoardTest, RecordOfTheLongestIdentifierIsFiftyOneBytes) {
    const std::string sId(ID_MAX, 'q');
    ASSERT_EQ(51u, record(sId).size());
    ASSERT_EQ(19u, record("").size());
    EXPECT_EQ((cOutcome{deviceLine(), "", 0}), brellix({"-sdid", sId}));
    EXPECT_EQ(bytesAt(lBefore, DEVICE_SIZE - ID_AREA_LENGTH + 51, ID_AREA_LENGTH - 51),
              bytesAt(image(), DEVICE_SIZE - ID_AREA_LENGTH + 51, ID_AREA_LENGTH - 51));
}

TEST_F(cBoardTest, TooLongIdentifierIsRefusedBeforeTheDeviceIsOpened) {
    const std::string sId(ID_MAX + 1, 'x');
    EXPECT_EQ((cOutcome{missingDeviceLine(), "Fatal: Device id too large (max 32 characters)\n", 1}),
              onMissingDevice({"--set-device-id", sId}));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: Device id too large (max 32 characters)\n", 1}),
              brellix({"--set-device-id", sId}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cBoardTest, ShorterIdentifierLeavesTheOldRecordsTailBehind) {
    const std::string sLong = "A-LONGER-IDENTIFIER-0042";
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"-sdid", sLong, "-q"}));
    // Written and read back in one run: set runs before get.
    EXPECT_EQ((cOutcome{deviceLine() + "SHORT\n", "", 0}),
              brellix({"--get-device-id", "--set-device-id", "SHORT"}));
    tBytes lExpected = lBefore;
    putBytes(lExpected, DEVICE_SIZE - ID_AREA_LENGTH, record(sLong));
    putBytes(lExpected, DEVICE_SIZE - ID_AREA_LENGTH, record("SHORT"));
    EXPECT_EQ("", imageDifference(lExpected, image()));
}

struct cAreaCase {
    std::string sLabel;
    tBytes lArea;
    cOutcome oExpected; // stdout after the device line
};

void PrintTo(const cAreaCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sLabel;
}

class cGetDeviceIdTest : public cBoardTest, public ::testing::WithParamInterface<cAreaCase> {};

TEST_P(cGetDeviceIdTest, ReadsOnlyTheFirstMarkerAndTheTextUpToItsZero) {
    tBytes lImage = lBefore;
    putBytes(lImage, DEVICE_SIZE - ID_AREA_LENGTH, GetParam().lArea);
    useImage(lImage);
    const cOutcome& oExpected = GetParam().oExpected;
    EXPECT_EQ((cOutcome{deviceLine() + oExpected.sOut, oExpected.sErr, oExpected.iStatus}),
              brellix({"--get-device-id"}));
    EXPECT_EQ("", unchanged());
}

tBytes area(const std::string& sStart, uint8_t iFill) {
    tBytes lArea(ID_AREA_LENGTH, iFill);
    putBytes(lArea, 0, textBytes(sStart));
    return lArea;
}

INSTANTIATE_TEST_SUITE_P(
    Areas, cGetDeviceIdTest,
    ::testing::Values(cAreaCase{"Erased", tBytes(ID_AREA_LENGTH, 0xff), {"", "Fatal: No device id!\n", 1}},
                      cAreaCase{"OtherMarker", area("DEVICE_IX", 0), {"", "Fatal: No device id!\n", 1}},
                      cAreaCase{"MarkerCutShort", area("DEVICE_I", 0), {"", "Fatal: No device id!\n", 1}},
                      cAreaCase{"NoZeroByte", area(MARKER, 'A'), {"\n", "", 0}},
                      cAreaCase{
                          "NoSecondMarker", area(std::string(MARKER) + "id-only", 0), {"id-only\n", "", 0}}),
    [](const ::testing::TestParamInfo<cAreaCase>& oInfo) { return oInfo.param.sLabel; });

TEST_F(cBoardTest, LastByteOfTheAreaEndsAnIdentifierOfFiftyFourBytes) {
    tBytes lArea = area(MARKER, 'B');
    lArea.back() = 0;
    tBytes lImage = lBefore;
    putBytes(lImage, DEVICE_SIZE - ID_AREA_LENGTH, lArea);
    useImage(lImage);
    EXPECT_EQ((cOutcome{deviceLine() + std::string(ID_AREA_LENGTH - 10, 'B') + "\n", "", 0}),
              brellix({"--get-device-id"}));
}

TEST_F(cBoardTest, DeviceIdWorksWithoutATinyfsImage) {
    useImage(tBytes(DEVICE_SIZE, 0xff));
    EXPECT_EQ((cOutcome{deviceLine() + "BX-7\n", "", 0}), brellix({"-sdid", "BX-7", "-gdid"}));
    tBytes lExpected = lBefore;
    putBytes(lExpected, DEVICE_SIZE - ID_AREA_LENGTH, record("BX-7"));
    EXPECT_EQ("", imageDifference(lExpected, image()));
}

TEST_F(cBoardTest, IdentifierIsPrintedEvenWhenQuiet) {
    tBytes lImage = lBefore;
    putBytes(lImage, DEVICE_SIZE - ID_AREA_LENGTH, record("BX-9"));
    useImage(lImage);
    EXPECT_EQ((cOutcome{"BX-9\n", "", 0}), brellix({"--get-mac", "--get-device-id", "--quiet"}));
    // Also under "--read-stdout", whose failure comes later in the run.
    EXPECT_EQ((cOutcome{"BX-9\n", "Fatal: file entry not found (\"%9\")\n", 1}),
              brellix({"--read-stdout", "%9", "--get-device-id"}));
}

} // namespace
