// Every command, with each of its device and local-file calls failing in turn: the
// run must end with that call's own message, print only what came before the fault,
// and leave the image and the local files as far as the transfers before it got.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

#include "tests/faults/faultBench.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/layout.h"

namespace {

using namespace sample;

const char NEW_MAC[] = "0a:1b:2c:3d:4e:5f";
const char NEW_DEVICE_ID[] = "new-id-42";
constexpr uint32_t ALIGNED_INPUT_BYTES = 3 * PAGE_SIZE;
constexpr uint32_t UNALIGNED_INPUT_BYTES = 9000; // two blocks of the write loop
constexpr char CHECK_CLEAN[] = "Filesystem is ready and clean.\n";
constexpr char CHECK_DIRTY[] = "Filesystem contains errors and is NOT ready for use.\n";

// Modes that make sense for each kind of call.
const std::map<std::string, std::vector<std::string>> MODES = {
    {"open", {"error"}},           {"lseek", {"error", "wrongpos"}},
    {"read", {"error", "short"}},  {"write", {"error", "short"}},
    {"close", {"error"}},          {"fopen", {"error"}},
    {"fread", {"error", "short"}}, {"fwrite", {"error", "short"}},
    {"fseek", {"error"}},          {"ftell", {"error"}},
    {"fclose", {"error"}},
};

std::vector<cCommandCase> commandCases() {
    const cByteRange oMac = {MAC_OFFSET, MAC_OFFSET + MAC_TEXT_LENGTH};
    const uint32_t iRecord = uint32_t(encodeDeviceId(NEW_DEVICE_ID).size());
    const cByteRange oDeviceId = {DEVICE_ID_AREA, DEVICE_ID_AREA + iRecord};
    const std::vector<uint8_t> lAligned = randomBytes(ALIGNED_INPUT_BYTES, 11);
    const std::vector<uint8_t> lUnaligned = randomBytes(UNALIGNED_INPUT_BYTES, 12);
    const cImageBuilder oSmall = smallImage();
    return {
        {"list", {"--list"}, oSmall, {}, {}, ""},
        {"list_verbose", {"--list", "-v"}, oSmall, {}, {}, ""},
        {"exists_present", {"--exists", "rootfs"}, oSmall, {}, {}, ""},
        {"exists_missing", {"--exists", "missing"}, oSmall, {}, {}, ""},
        {"read", {"--read", "rootfs", TARGET_ARG}, oSmall, {}, {}, ""},
        {"read_stdout", {"--read-stdout", "config"}, oSmall, {}, {}, ""},
        {"check", {"--check"}, oSmall, {}, {}, ""},
        {"check_force", {"--check", "--force"}, oSmall, {}, {}, ""},
        {"rename", {"--rename", "rootfs", "system"}, oSmall, {}, {fatRange()}, ""},
        {"write_aligned",
         {"--write", "kernel", INPUT_ARG},
         oSmall,
         lAligned,
         {fatRange(), {KERNEL_OFFSET, KERNEL_OFFSET + ALIGNED_INPUT_BYTES}},
         "kernel"},
        {"write_unaligned",
         {"--write", "rootfs", INPUT_ARG},
         oSmall,
         lUnaligned,
         {fatRange(), {ROOTFS_OFFSET, ROOTFS_OFFSET + UNALIGNED_INPUT_BYTES}},
         "rootfs"},
        {"set_mac", {"--set-mac", NEW_MAC}, oSmall, {}, {oMac}, ""},
        {"get_mac", {"--get-mac"}, oSmall, {}, {}, ""},
        {"set_device_id", {"--set-device-id", NEW_DEVICE_ID}, oSmall, {}, {oDeviceId}, ""},
        {"get_device_id", {"--get-device-id"}, oSmall, {}, {}, ""},
    };
}

bool hasArg(const cCommandCase& oCase, const std::string& sArg) {
    for (const std::string& s : oCase.lArgs)
        if (s == sArg)
            return true;
    return false;
}

// The "Fatal: " message a failing call ends the command with; empty when the command
// is meant to complete regardless: a failing close of the device (nothing is lost), a
// closing error on a stream that was only read, and a short read from a stream (the
// loop goes on with the rest).
std::string faultMessage(const std::string& sKind, const std::string& sMode, const std::string& sLocalPath,
                         bool bWritesLocal) {
    const bool bError = sMode == "error";
    if (sKind == "open")
        return "unable to open device";
    if (sKind == "lseek")
        return "invalid seek";
    if (sKind == "read")
        return bError ? "unable to read" : "incomplete read";
    if (sKind == "write")
        return bError ? "unable to write" : "incomplete write";
    if (sKind == "fopen")
        return "unable to open file (" + sLocalPath + ")";
    if (sKind == "fseek" || sKind == "ftell")
        return "seek error";
    if (sKind == "fread")
        return bError ? "unable to read data" : "";
    if (sKind == "fwrite")
        return "unable to write data";
    if (sKind == "fclose")
        return bWritesLocal ? "unable to write data" : "";
    return ""; // close
}

// The image after the calls before iFault (a position in the fault-free log) went
// through as without the fault, and, for a short write at iFault, the first half of its
// bytes. The fault-free run writes each page once, so its result holds every byte as
// the earlier transfers left it.
std::vector<uint8_t> partialImage(const std::vector<uint8_t>& lBefore, const std::vector<uint8_t>& lAfter,
                                  const cIoLog& oFree, int64_t iFault, bool bShortWrite) {
    std::vector<uint8_t> lImage = lBefore;
    const std::vector<cIoCall>& lCalls = oFree.getCalls();
    for (int64_t i = 0; i <= iFault && i < int64_t(lCalls.size()); ++i) {
        const cIoCall& oCall = lCalls[size_t(i)];
        if (oCall.sKind != "write")
            continue;
        int64_t iBytes = oCall.iResult;
        if (i == iFault)
            iBytes = bShortWrite ? oCall.iLength / 2 : 0;
        std::copy(lAfter.begin() + oCall.iPos, lAfter.begin() + oCall.iPos + iBytes,
                  lImage.begin() + oCall.iPos);
    }
    return lImage;
}

// Whether standard output was flushed between the device's open and iFault: then the
// file system was mounted and the command had started its own work.
bool pastMount(const cIoLog& oFree, int64_t iFault) {
    const int64_t iOpen = oFree.indexOf("open", 1);
    for (int64_t i = iOpen + 1; i < iFault; ++i) {
        const cIoCall& oCall = oFree.getCalls()[size_t(i)];
        if (oCall.sKind == "stdout" && oCall.iLength > 0)
            return true;
    }
    return false;
}

struct cFreeRun {
    cRunResult oResult;
    std::vector<uint8_t> lImage;
    std::vector<uint8_t> lTarget;
    cIoLog oLog;
};

class FaultInjection : public testing::TestWithParam<cCommandCase> {};

TEST_P(FaultInjection, everyCallFailsWithItsOwnMessage) {
    const cCommandCase& oCase = GetParam();
    const cFaultBench oBench(oCase);
    const bool bWritesLocal = hasArg(oCase, TARGET_ARG);
    const std::string sLocalPath = bWritesLocal ? oBench.targetPath() : oBench.inputPath();
    const bool bForcedCheck = hasArg(oCase, "--check") && hasArg(oCase, "--force");

    const cRunResult oFreeResult = oBench.run({});
    const cFreeRun oFree = {oFreeResult, oBench.image(), oBench.target(), oBench.log()};
    ASSERT_EQ(oFree.oResult.sErr, "");
    // "--exists" answers a missing name by its status alone, before it closes anything.
    const bool bAnswersMissing = hasArg(oCase, "--exists") && hasArg(oCase, "missing");
    ASSERT_EQ(oFree.oResult.iStatus, bAnswersMissing ? 1 : 0) << oFree.oResult.sOut;
    ASSERT_EQ(foreignChanges(oBench.before(), oFree.lImage, oCase.lMayTouch), "");
    // The interposer must see the command's calls, or the sweep below would be empty.
    ASSERT_EQ(oFree.oLog.count("open"), 1);
    ASSERT_EQ(oFree.oLog.count("close"), bAnswersMissing ? 0 : 1);
    ASSERT_GT(oFree.oLog.count("read"), 0);
    if (!oCase.lMayTouch.empty()) {
        ASSERT_GT(oFree.oLog.count("write"), 0);
    }
    if (hasArg(oCase, INPUT_ARG) || bWritesLocal) {
        ASSERT_EQ(oFree.oLog.count("fopen"), 1);
    }
    // A changing command prints all it has to say before it changes the device, so a
    // failing write never hides a line (for "--set-mac" even before it opens the device).
    if (oFree.oLog.count("write") > 0) {
        const size_t iPrinted = oFree.oResult.sOut.size();
        EXPECT_EQ(oFree.oLog.stdoutBytesBefore(oFree.oLog.indexOf("write", 1)), int64_t(iPrinted));
        if (hasArg(oCase, "--set-mac")) {
            EXPECT_EQ(oFree.oLog.stdoutBytesBefore(oFree.oLog.indexOf("open", 1)), int64_t(iPrinted));
        }
    }
    const std::vector<int32_t> lWritten = oFree.oLog.writtenPages();
    ASSERT_EQ(std::set<int32_t>(lWritten.begin(), lWritten.end()).size(), lWritten.size())
        << "a page written twice: the partial images below would be wrong";

    int iRuns = 0;
    for (const auto& [sKind, lModes] : MODES) {
        for (int64_t k = 1; k <= oFree.oLog.count(sKind); ++k) {
            for (const std::string& sMode : lModes) {
                const std::string sFault = sKind + ":" + std::to_string(k) + ":" + sMode;
                SCOPED_TRACE(oCase.sName + " with " + sFault);
                oBench.reset();
                cIoSetup oSetup;
                oSetup.sFail = sFault;
                const cRunResult oRun = oBench.run(oSetup);
                ++iRuns;
                ASSERT_EQ(oBench.log().getFaults().size(), 1u) << "the fault was not injected";

                const int64_t iFault = oFree.oLog.indexOf(sKind, k);
                const std::string sPrinted =
                    oFree.oResult.sOut.substr(0, size_t(oFree.oLog.stdoutBytesBefore(iFault)));
                const std::string sMessage = faultMessage(sKind, sMode, sLocalPath, bWritesLocal);
                const bool bCaught =
                    bForcedCheck && (sKind == "lseek" || sKind == "read") && pastMount(oFree.oLog, iFault);

                if (sMessage.empty()) {
                    // The command completes as if nothing had happened.
                    EXPECT_EQ(oRun.iStatus, oFree.oResult.iStatus);
                    EXPECT_EQ(oRun.sErr, oFree.oResult.sErr);
                    EXPECT_EQ(oRun.sOut, oFree.oResult.sOut);
                    EXPECT_TRUE(oBench.image() == oFree.lImage) << "image differs from the fault-free run";
                    EXPECT_TRUE(oBench.target() == oFree.lTarget)
                        << "local file differs from the fault-free run";
                } else if (bCaught) {
                    // "--check --force" reports a content error and goes on.
                    std::string sExpected = oFree.oResult.sOut;
                    ASSERT_GE(sExpected.size(), sizeof CHECK_CLEAN - 1);
                    ASSERT_EQ(sExpected.substr(sExpected.size() - (sizeof CHECK_CLEAN - 1)), CHECK_CLEAN);
                    sExpected.resize(sExpected.size() - (sizeof CHECK_CLEAN - 1));
                    sExpected.insert(sPrinted.size(), "** " + sMessage + "\n");
                    EXPECT_EQ(oRun.iStatus, 0);
                    EXPECT_EQ(oRun.sErr, "");
                    EXPECT_EQ(oRun.sOut, sExpected + CHECK_DIRTY);
                    EXPECT_TRUE(oBench.image() == oBench.before()) << "a check changed the image";
                } else {
                    EXPECT_EQ(oRun.iStatus, 1);
                    EXPECT_EQ(oRun.sErr, "Fatal: " + sMessage + "\n");
                    EXPECT_EQ(oRun.sOut, sPrinted);
                    const std::vector<uint8_t> lImage = oBench.image();
                    EXPECT_EQ(foreignChanges(oBench.before(), lImage, oCase.lMayTouch), "")
                        << "bytes changed outside what the command owns";
                    const std::vector<uint8_t> lPartial =
                        partialImage(oBench.before(), oFree.lImage, oFree.oLog, iFault,
                                     sKind == "write" && sMode == "short");
                    EXPECT_EQ(foreignChanges(lPartial, lImage, {}), "")
                        << "image is not what the transfers before the fault left";
                    // "--read" creates its file only after reading the image, and a
                    // failed transfer leaves what reached the file.
                    std::vector<uint8_t> lTarget = oBench.oldTarget();
                    if (sKind == "fwrite")
                        lTarget.assign(oFree.lTarget.begin(),
                                       oFree.lTarget.begin() +
                                           (sMode == "short" ? oFree.lTarget.size() / 2 : 0));
                    else if (sKind == "fclose")
                        lTarget = oFree.lTarget;
                    EXPECT_TRUE(oBench.target() == lTarget) << "local target has " << oBench.target().size()
                                                            << " bytes, expected " << lTarget.size();
                }
                EXPECT_TRUE(oBench.input() == oCase.lInput) << "the input file was touched";
                if (HasFailure())
                    return; // the first broken fault tells the story
            }
        }
    }
    RecordProperty("fault_runs", iRuns);
    std::cout << oCase.sName << ": " << iRuns << " faulty runs\n";
}

INSTANTIATE_TEST_SUITE_P(Commands, FaultInjection, testing::ValuesIn(commandCases()),
                         [](const testing::TestParamInfo<cCommandCase>& oInfo) { return oInfo.param.sName; });

} // namespace
