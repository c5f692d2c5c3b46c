// End-to-end tests of failures the tool reports where a careless one would report
// success or leave half-done work: contents cut off by the device end, and output lost
// on a full standard output.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/commands/commandTestSupport.h"

namespace {

constexpr uint32_t FAR_OFFSET = 0xFFFFFFF0; // an inconsistent entry far past the device end

class cSoundLimitsTest : public cCommandTest {};

// "alpha" sits before an entry whose distance does not fit a signed 32-bit number, so
// the capacity rule gives alpha room far past the device end.
tBytes farFollowerImage() {
    cImageBuilder oBuilder;
    oBuilder.addFile(placedFile("alpha", pattern(100, 1), FIRST_FILE));
    tBytes lImage = oBuilder.build();
    putSlot(lImage, 2, {"far", 0, FAR_OFFSET, 0, 0});
    std::fill_n(lImage.begin() + std::ptrdiff_t(slotPosition(3)), FAT_SLOT_SIZE, uint8_t(0));
    return lImage;
}

TEST_F(cSoundLimitsTest, WritePastTheDeviceEndIsRefusedBeforeAnythingChanges) {
    useImage(farFollowerImage());
    const std::string sLocal = oDir.file("too-long.bin");
    writeBytes(sLocal, pattern(DEVICE_SIZE - FIRST_FILE + 1, 2));

    EXPECT_EQ(brellix({"--write", "alpha", sLocal}),
              (cOutcome{deviceLine(), "Fatal: file to big (filesystem unchanged)\n", 1}));
    EXPECT_EQ(unchanged(), "");
}

TEST_F(cSoundLimitsTest, WriteUpToTheDeviceEndStillSucceeds) {
    useImage(farFollowerImage());
    const std::string sLocal = oDir.file("exact.bin");
    const tBytes lContents = pattern(DEVICE_SIZE - FIRST_FILE, 3);
    writeBytes(sLocal, lContents);

    EXPECT_EQ(brellix({"-q", "--write", "alpha", sLocal}), (cOutcome{"", "", 0}));
    const tBytes lAfter = image();
    EXPECT_EQ(bytesAt(lAfter, FIRST_FILE, lContents.size()), lContents);
    EXPECT_EQ(slotOf(lAfter, 1).iSize, lContents.size());
}

// Standard output on a full device: the lines are lost, and the exit status says so.
TEST_F(cSoundLimitsTest, LostStandardOutputIsAFailure) {
    cImageBuilder oBuilder;
    oBuilder.addFile(placedFile("alpha", pattern(100, 1), FIRST_FILE));
    useImage(oBuilder);
    for (const std::vector<std::string>& lArgs :
         {std::vector<std::string>{"--list"}, {"--check"}, {"--get-device-id"}, {"--version"}}) {
        std::string sCommand = "exec '" + brellixPath() + "' -d '" + sImage + "'";
        for (const std::string& sArg : lArgs)
            sCommand += " " + sArg;
        const cRunResult oRun = runProcess({"/bin/sh", "-c", sCommand + " >/dev/full"});
        EXPECT_EQ(oRun.iStatus, 1) << lArgs[0];
        const std::string sExpected =
            lArgs[0] == "--get-device-id" ? "Fatal: No device id!\n" : "Fatal: unable to write data\n";
        EXPECT_EQ(oRun.sErr, sExpected) << lArgs[0];
    }
    EXPECT_EQ(unchanged(), "");
}

} // namespace
