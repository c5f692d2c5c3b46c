// End-to-end tests of "--check": the media, boot-time and content phases, the skip rule,
// the summary lines, "--force" and "--quiet". The check never writes, so every test
// also compares the image with what it was.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/commands/commandTestSupport.h"

namespace {

constexpr char MEDIA_LINE[] = "** Checking media integrity...\n";
constexpr char BOOT_LINE[] = "** Checking boot-time integrity...\n";
constexpr char CONTENT_LINE[] = "** Checking content integrity...\n";
constexpr char CLEAN[] = "Filesystem is ready and clean.\n";
constexpr char NOT_READY[] = "Filesystem contains errors and is NOT ready for use.\n";

// kernel fills its room exactly (logo follows right behind it); logo has no checksum;
// kernel and rootfs carry load addresses 999 bytes apart, which matters only once
// kernel gets flag bit 1.
constexpr uint32_t KERNEL_SIZE = 1000;
constexpr uint32_t KERNEL_LOAD = 0x20000;
constexpr uint32_t ROOTFS_OFFSET = FIRST_FILE + 2 * PAGE_SIZE;
constexpr uint32_t TAIL_OFFSET = FIRST_FILE + 4 * PAGE_SIZE;

const tBytes KERNEL = pattern(KERNEL_SIZE, 31);
const tBytes LOGO = pattern(200, 32);
const tBytes ROOTFS = pattern(500, 33);
const tBytes TAIL = pattern(64, 34);

cImageBuilder checkBuilder() {
    cImageBuilder oBuilder;
    cImageFile oKernel = placedFile("kernel", KERNEL, FIRST_FILE);
    oKernel.iLoadAddress = KERNEL_LOAD;
    oBuilder.addFile(oKernel);
    cImageFile oLogo = placedFile("logo", LOGO, FIRST_FILE + KERNEL_SIZE);
    oLogo.bChecksum = false;
    oBuilder.addFile(oLogo);
    cImageFile oRootfs = placedFile("rootfs", ROOTFS, ROOTFS_OFFSET);
    oRootfs.iLoadAddress = KERNEL_LOAD + KERNEL_SIZE - 1;
    oBuilder.addFile(oRootfs);
    oBuilder.addFile(placedFile("tail", TAIL, TAIL_OFFSET));
    return oBuilder;
}

std::string checksumError(const tBytes& lContents, uint16_t iStored) {
    return "CheckSum error: 0x" + hexText(referenceCrc(lContents)) + " != 0x" + hexText(iStored) + "!";
}

class cCheckTest : public cCommandTest {
  protected:
    std::string phases() const { return deviceLine() + MEDIA_LINE + BOOT_LINE + CONTENT_LINE; }
    void setFlags(tBytes& lImage, const std::string& sName, uint32_t iFlags) {
        putLe32(lImage, slotPosition(slotNamed(lImage, sName)) + SLOT_FLAGS_POS, iFlags);
    }
};

TEST_F(cCheckTest, CleanImage) {
    useImage(checkBuilder());
    EXPECT_EQ((cOutcome{phases() +
                            "  * Checking kernel...\n  * Skip checking logo (no checksum)...\n"
                            "  * Checking rootfs...\n  * Checking tail...\n" +
                            CLEAN,
                        "", 0}),
              brellix({"--check"}));
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"-c", "-q"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cCheckTest, EmptyImage) {
    useImage(cImageBuilder());
    EXPECT_EQ((cOutcome{phases() + CLEAN, "", 0}), brellix({"--check"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cCheckTest, InvalidImagePrintsNoPhase) {
    useImage(tBytes(DEVICE_SIZE, 0xff));
    EXPECT_EQ((cOutcome{deviceLine(), "Fatal: invalid image\n", 1}), brellix({"--check", "--force"}));
}

TEST_F(cCheckTest, WithoutChecksumOrAtOffsetZeroAFileIsSkippedWhateverItsContents) {
    cImageBuilder oBuilder = checkBuilder();
    // Below the FAT, with a stored checksum its contents do not have.
    cImageFile oBoot = placedFile("boot", pattern(100, 35), 0);
    oBoot.iChecksum = 0x1111;
    oBuilder.addFile(oBoot);
    tBytes lImage = oBuilder.build();
    // logo's contents no longer match anything, but it carries no checksum.
    lImage[FIRST_FILE + KERNEL_SIZE + 3] ^= 0xff;
    useImage(lImage);
    EXPECT_EQ((cOutcome{phases() +
                            "  * Checking kernel...\n  * Skip checking logo (no checksum)...\n"
                            "  * Checking rootfs...\n  * Checking tail...\n"
                            "  * Skip checking boot (no checksum)...\n" +
                            CLEAN,
                        "", 0}),
              brellix({"--check"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cCheckTest, MediaFailureEndsTheRunBeforeTheBootTimePhase) {
    // kernel claims one byte of logo.
    tBytes lImage = checkBuilder().build();
    putLe32(lImage, slotPosition(1) + SLOT_SIZE_POS, KERNEL_SIZE + 1);
    useImage(lImage);
    const std::string sError = "Fatal: Filesystem corrupt: File \"kernel\" too big!\n";
    EXPECT_EQ((cOutcome{deviceLine() + MEDIA_LINE, sError, 1}), brellix({"--check"}));
    EXPECT_EQ((cOutcome{deviceLine() + MEDIA_LINE, sError, 1}), brellix({"--check", "--force"}));
    EXPECT_EQ((cOutcome{"", sError, 1}), brellix({"--check", "--quiet"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cCheckTest, LoadAddressBoundFailsOnlyTheBootTimePhase) {
    // Flag bit 1 puts rootfs's load address, 999 bytes above kernel's, in the way.
    tBytes lImage = checkBuilder().build();
    setFlags(lImage, "kernel", uint32_t(referenceCrc(KERNEL)) << CHECKSUM_SHIFT | FLAG_LOAD_ADDRESS);
    useImage(lImage);
    const std::string sError = "Fatal: Filesystem corrupt: File \"kernel\" too big!\n";
    EXPECT_EQ((cOutcome{deviceLine() + MEDIA_LINE + BOOT_LINE, sError, 1}), brellix({"--check"}));
    EXPECT_EQ((cOutcome{deviceLine() + MEDIA_LINE + BOOT_LINE, sError, 1}), brellix({"--check", "--force"}));
    EXPECT_EQ("", unchanged());
}

// rootfs's contents changed on the flash; tail's stored checksum is wrong.
class cContentErrorTest : public cCheckTest {
  protected:
    void SetUp() override {
        tBytes lImage = checkBuilder().build();
        lImage[ROOTFS_OFFSET + 100] ^= 0x01;
        lRootfsNow = bytesAt(lImage, ROOTFS_OFFSET, ROOTFS.size());
        setFlags(lImage, "tail", uint32_t(TAIL_WRONG) << CHECKSUM_SHIFT);
        useImage(lImage);
    }
    static constexpr uint16_t TAIL_WRONG = 0xffff;
    tBytes lRootfsNow;
};

TEST_F(cContentErrorTest, WithoutForceTheFirstErrorEndsTheRun) {
    EXPECT_EQ((cOutcome{phases() + "  * Checking kernel...\n  * Skip checking logo (no checksum)...\n"
                                   "  * Checking rootfs...\n",
                        "Fatal: " + checksumError(lRootfsNow, referenceCrc(ROOTFS)) + "\n", 1}),
              brellix({"--check"}));
    EXPECT_EQ((cOutcome{"", "Fatal: " + checksumError(lRootfsNow, referenceCrc(ROOTFS)) + "\n", 1}),
              brellix({"--check", "-q"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cContentErrorTest, WithForceEveryErrorIsReportedAfterItsFileLine) {
    EXPECT_EQ((cOutcome{phases() +
                            "  * Checking kernel...\n  * Skip checking logo (no checksum)...\n"
                            "  * Checking rootfs...\n** " +
                            checksumError(lRootfsNow, referenceCrc(ROOTFS)) + "\n  * Checking tail...\n** " +
                            checksumError(TAIL, TAIL_WRONG) + "\n" + NOT_READY,
                        "", 0}),
              brellix({"--check", "--force"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cContentErrorTest, QuietForcedCheckIsSilentAndSucceeds) {
    EXPECT_EQ((cOutcome{"", "", 0}), brellix({"--check", "--force", "--quiet"}));
    // "--read-stdout" silences the check as "--quiet" does; only kernel's text remains.
    const auto itZero = std::find(KERNEL.begin(), KERNEL.end(), uint8_t(0));
    EXPECT_EQ((cOutcome{std::string(KERNEL.begin(), itZero), "", 0}),
              brellix({"--check", "--force", "--read-stdout", "kernel"}));
}

// Two files whose recorded contents lie past the device end, yet pass both capacity
// phases: one starts behind the device end, one has an offset whose sum with its size
// wraps in 32 bits.
class cBeyondDeviceCheckTest : public cCheckTest {
  protected:
    void SetUp() override {
        cImageBuilder oBuilder = checkBuilder();
        oBuilder.addFile(placedFile("beyond", pattern(16, 36), TAIL_OFFSET + PAGE_SIZE));
        oBuilder.addFile(placedFile("wrapped", pattern(32, 37), TAIL_OFFSET + 2 * PAGE_SIZE));
        tBytes lImage = oBuilder.build();
        putLe32(lImage, slotPosition(slotNamed(lImage, "beyond")) + SLOT_OFFSET_POS, DEVICE_SIZE + PAGE_SIZE);
        putLe32(lImage, slotPosition(slotNamed(lImage, "wrapped")) + SLOT_OFFSET_POS, 0xfffffff0u);
        useImage(lImage);
    }
    const std::string sGoodFiles = "  * Checking kernel...\n  * Skip checking logo (no checksum)...\n"
                                   "  * Checking rootfs...\n  * Checking tail...\n";
};

TEST_F(cBeyondDeviceCheckTest, WithoutForceItEndsTheRun) {
    EXPECT_EQ((cOutcome{phases() + sGoodFiles + "  * Checking beyond...\n",
                        "Fatal: file exceeds device (\"beyond\")\n", 1}),
              brellix({"--check"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cBeyondDeviceCheckTest, WithForceItCountsAsAContentError) {
    EXPECT_EQ((cOutcome{phases() + sGoodFiles +
                            "  * Checking beyond...\n** file exceeds device (\"beyond\")\n"
                            "  * Checking wrapped...\n** file exceeds device (\"wrapped\")\n" +
                            NOT_READY,
                        "", 0}),
              brellix({"--check", "--force"}));
    EXPECT_EQ("", unchanged());
}

TEST_F(cCheckTest, InterruptedWriteFailsTheContentCheck) {
    // New contents on the flash, the old size and checksum still in the FAT.
    tBytes lImage = checkBuilder().build();
    const tBytes lNew = pattern(ROOTFS.size(), 38);
    putBytes(lImage, ROOTFS_OFFSET, lNew);
    useImage(lImage);
    const cOutcome oRun = brellix({"--check"});
    EXPECT_EQ((cOutcome{phases() + "  * Checking kernel...\n  * Skip checking logo (no checksum)...\n"
                                   "  * Checking rootfs...\n",
                        "Fatal: " + checksumError(lNew, referenceCrc(ROOTFS)) + "\n", 1}),
              oRun);
}

} // namespace
