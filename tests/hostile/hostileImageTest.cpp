// The built tool on crafted, inconsistent images: sizes and data offsets past the device
// end, offset plus size past 2^32, a file without room, a full table, erased slots read
// as entries, duplicate and odd names, an erased FAT. Every run is compared whole
// (standard output, standard error, exit status), and none of these commands may change
// a byte of the image.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sstream>

#include "tests/hostile/hostileImage.h"

namespace {

// Stands for the local file of "--read" in the arguments.
const std::string LOCAL = "{local}";

struct cCommandCase {
    std::string sLabel;
    std::vector<std::string> lArgs; // after "-d <image>"
    std::string sOut;               // after the device line, which quiet runs don't print
    std::string sErr;
    int iStatus;
    std::optional<std::string> sLocal = std::nullopt; // the local file afterwards; none: never created
};

struct cScenario {
    std::string sName;
    std::function<cHostileImage()> fBuild;
    std::vector<cCommandCase> lCases;
};

std::string hex(uint32_t iValue) {
    std::ostringstream oOut;
    oOut << std::hex << iValue;
    return oOut.str();
}

std::string exceeds(const std::string& sName) {
    return "Fatal: file exceeds device (\"" + sName + "\")\n";
}

// Growable share and bytes left as the listing computes them, in unsigned 32 bits.
uint32_t growable(uint32_t iSize, uint32_t iCapacity) {
    return iCapacity == 0 ? 0 : uint32_t(100 - iSize * 100 / iCapacity);
}

constexpr uint32_t BIG_OFFSET = 0x800000;
constexpr uint32_t BIG_SIZE = 0x100000;
constexpr uint32_t PAST_END = DEVICE_SIZE + 0x100;
constexpr uint32_t WRAP_OFFSET = 0xFFFFFF00;
constexpr uint32_t WRAP_SIZE = 0x200;
constexpr uint32_t ALL_ONES = 0xFFFFFFFF;

cScenario sizePastEnd() {
    const uint32_t iCapacity = DEVICE_SIZE - BIG_OFFSET;
    const uint32_t iGrowable = growable(BIG_SIZE, iCapacity), iLeft = iCapacity - BIG_SIZE;
    const std::string sCorrupt = "Fatal: Filesystem corrupt: File \"big\" too big!\n";
    return {"SizePastDeviceEnd",
            [] { return cHostileImage().entry("big", BIG_OFFSET, BIG_SIZE, 0x1234); },
            {
                {"List",
                 {"--list"},
                 listLine("big", BIG_SIZE, iGrowable, iLeft),
                 "Fatal: File system corrupt! (big)\n",
                 1},
                {"ListVerbose",
                 {"--list", "-v"},
                 verboseLine("big", BIG_SIZE, "1234", "", iGrowable, iLeft),
                 "Fatal: File system corrupt! (big)\n",
                 1},
                {"Check", {"--check"}, "** Checking media integrity...\n", sCorrupt, 1},
                {"CheckForce", {"--check", "--force"}, "** Checking media integrity...\n", sCorrupt, 1},
                {"Read", {"--read", "big", LOCAL}, "", exceeds("big"), 1},
                {"ReadStdout", {"--read-stdout", "big"}, "", exceeds("big"), 1},
            }};
}

cScenario offsetPastEnd() {
    // Room up to the device end wraps to nearly 4 GiB; the other file at the same offset
    // does not limit it.
    const uint32_t iCapacity = DEVICE_SIZE - PAST_END;
    return {
        "DataOffsetPastDeviceEnd",
        [] {
            return cHostileImage().entry("beyond", PAST_END, 10, 0x1234).entry("unsummed", PAST_END, 4, 0);
        },
        {
            {"List",
             {"--list"},
             listLine("beyond", 10, growable(10, iCapacity), iCapacity - 10) +
                 listLine("unsummed", 4, growable(4, iCapacity), iCapacity - 4),
             "",
             0},
            {"ListVerbose",
             {"--list", "--verbose"},
             verboseLine("beyond", 10, "1234", "", growable(10, iCapacity), iCapacity - 10) +
                 verboseLine("unsummed", 4, "0", "", growable(4, iCapacity), iCapacity - 4),
             "",
             0},
            {"Check", {"--check"}, CHECK_PHASES + "  * Checking beyond...\n", exceeds("beyond"), 1},
            {"CheckForce",
             {"--check", "--force"},
             CHECK_PHASES + "  * Checking beyond...\n** file exceeds device (\"beyond\")\n" +
                 "  * Skip checking unsummed (no checksum)...\n" + CHECK_NOT_READY,
             "",
             0},
            {"Read", {"--read", "beyond", LOCAL}, "", exceeds("beyond"), 1},
            {"ReadUnchecksummed", {"--read", "unsummed", LOCAL}, "", exceeds("unsummed"), 1},
            {"ReadStdout", {"--read-stdout", "beyond"}, "", exceeds("beyond"), 1},
        }};
}

cScenario offsetPlusSizeWraps() {
    // In 32 bits the end would be 0x100, inside the device: the tool must not take it so.
    const uint32_t iCapacity = DEVICE_SIZE - WRAP_OFFSET;
    const uint32_t iGrowable = growable(WRAP_SIZE, iCapacity), iLeft = iCapacity - WRAP_SIZE;
    return {"OffsetPlusSizeWrapsPast4G",
            [] { return cHostileImage().entry("wrap", WRAP_OFFSET, WRAP_SIZE, 0x42); },
            {
                {"List", {"--list"}, listLine("wrap", WRAP_SIZE, iGrowable, iLeft), "", 0},
                {"ListVerbose",
                 {"--list", "-v"},
                 verboseLine("wrap", WRAP_SIZE, "42", "", iGrowable, iLeft),
                 "",
                 0},
                {"Check", {"--check"}, CHECK_PHASES + "  * Checking wrap...\n", exceeds("wrap"), 1},
                {"CheckForce",
                 {"--check", "--force"},
                 CHECK_PHASES + "  * Checking wrap...\n** file exceeds device (\"wrap\")\n" + CHECK_NOT_READY,
                 "",
                 0},
                {"Read", {"--read", "wrap", LOCAL}, "", exceeds("wrap"), 1},
                {"ReadStdout", {"--read-stdout", "wrap"}, "", exceeds("wrap"), 1},
            }};
}

cScenario capacityZero() {
    return {"CapacityZero",
            [] { return cHostileImage().entry("no-room", DEVICE_SIZE, 0, 0); },
            {
                {"List", {"--list"}, listLine("no-room", 0, 0, 0), "", 0},
                {"ListVerbose", {"--list", "-v"}, verboseLine("no-room", 0, "0", "B", 0, 0), "", 0},
                {"Check",
                 {"--check"},
                 CHECK_PHASES + "  * Skip checking no-room (no checksum)...\n" + CHECK_CLEAN,
                 "",
                 0},
                {"CheckForce",
                 {"--check", "--force"},
                 CHECK_PHASES + "  * Skip checking no-room (no checksum)...\n" + CHECK_CLEAN,
                 "",
                 0},
                {"Read", {"--read", "no-room", LOCAL}, "", "", 0, ""},
                {"ReadStdout", {"--read-stdout", "no-room"}, "", "", 0},
                {"Exists", {"--exists", "no-room"}, "** File exists.\n", "", 0},
            }};
}

cScenario capacityZeroWithContents() {
    const std::string sCorrupt = "Fatal: Filesystem corrupt: File \"over\" too big!\n";
    return {
        "CapacityZeroWithContents",
        [] { return cHostileImage().entry("over", DEVICE_SIZE, 1, 0); },
        {
            {"List", {"--list"}, listLine("over", 1, 0, ALL_ONES), "Fatal: File system corrupt! (over)\n", 1},
            {"Check", {"--check"}, "** Checking media integrity...\n", sCorrupt, 1},
            {"CheckForce", {"--check", "--force"}, "** Checking media integrity...\n", sCorrupt, 1},
            {"Read", {"--read", "over", LOCAL}, "", exceeds("over"), 1},
        }};
}

std::string fullTableName(uint32_t i) {
    char aName[16];
    std::snprintf(aName, sizeof aName, "file-%04u", i);
    return aName;
}

std::string fullTableContents(uint32_t i) {
    return "contents of " + std::to_string(i);
}

cScenario fullTable() {
    std::string sList, sCheck = CHECK_PHASES;
    for (uint32_t i = 0; i < FAT_MAX_ENTRIES; ++i) {
        const uint32_t iSize = uint32_t(fullTableContents(i).size());
        const uint32_t iCapacity =
            i + 1 < FAT_MAX_ENTRIES ? PAGE_SIZE : DEVICE_SIZE - (DATA_OFFSET + i * PAGE_SIZE);
        sList += listLine(fullTableName(i), iSize, growable(iSize, iCapacity), iCapacity - iSize);
        sCheck += "  * Checking " + fullTableName(i) + "...\n";
    }
    const std::string sLast = "%" + std::to_string(FAT_MAX_ENTRIES - 1);
    return {"FullTable",
            [] {
                cHostileImage oImage;
                for (uint32_t i = 0; i < FAT_MAX_ENTRIES; ++i)
                    oImage.file(fullTableName(i), DATA_OFFSET + i * PAGE_SIZE, fullTableContents(i));
                return oImage;
            },
            {
                {"List", {"--list"}, sList, "", 0},
                {"Check", {"--check"}, sCheck + CHECK_CLEAN, "", 0},
                {"ReadStdoutLast", {"--read-stdout", sLast}, fullTableContents(FAT_MAX_ENTRIES - 1), "", 0},
                {"ReadLastByName",
                 {"--read", fullTableName(FAT_MAX_ENTRIES - 1), LOCAL},
                 "",
                 "",
                 0,
                 fullTableContents(FAT_MAX_ENTRIES - 1)},
            }};
}

cScenario erasedSlotsAfterTable() {
    // Each erased slot is an entry: 15 bytes of 0xFF as its name, all numbers all ones.
    // The signed distance rule lets the first of them, "behind" every real file, give
    // the real files nearly 4 GiB of room; its own room is the wrapped device end.
    const std::string sErased(NAME_MAX, char(ERASED_BYTE));
    const std::string sAlpha = "alpha-contents", sBeta = "beta";
    const uint32_t iAlphaCapacity = ALL_ONES - DATA_OFFSET,
                   iBetaCapacity = ALL_ONES - (DATA_OFFSET + PAGE_SIZE);
    const uint32_t iErasedCapacity = DEVICE_SIZE - ALL_ONES;
    const std::string sCorrupt = "Fatal: Filesystem corrupt: File \"" + sErased + "\" too big!\n";
    return {
        "ErasedSlotsAfterTable",
        [=] {
            return cHostileImage()
                .file("alpha", DATA_OFFSET, sAlpha)
                .file("beta", DATA_OFFSET + PAGE_SIZE, sBeta)
                .fillAfterTable(ERASED_BYTE);
        },
        {
            {"List",
             {"--list"},
             listLine("alpha", 14, 100, iAlphaCapacity - 14) + listLine("beta", 4, 100, iBetaCapacity - 4) +
                 listLine(sErased, ALL_ONES, growable(ALL_ONES, iErasedCapacity), iErasedCapacity - ALL_ONES),
             "Fatal: File system corrupt! (" + sErased + ")\n",
             1},
            {"ListVerbose",
             {"--list", "-v"},
             verboseLine("alpha", 14, hex(crc16(sAlpha.data(), sAlpha.size())), "", 100,
                         iAlphaCapacity - 14) +
                 verboseLine("beta", 4, hex(crc16(sBeta.data(), sBeta.size())), "", 100, iBetaCapacity - 4) +
                 verboseLine(sErased, ALL_ONES, "ffff", "L(0xffffffff)XAx",
                             growable(ALL_ONES, iErasedCapacity), iErasedCapacity - ALL_ONES),
             "Fatal: File system corrupt! (" + sErased + ")\n",
             1},
            {"Check", {"--check"}, "** Checking media integrity...\n", sCorrupt, 1},
            {"CheckForce", {"--check", "--force"}, "** Checking media integrity...\n", sCorrupt, 1},
            {"ReadRealFile", {"--read", "alpha", LOCAL}, "", "", 0, sAlpha},
            {"ReadStdoutRealFile", {"--read-stdout", "beta"}, sBeta, "", 0},
            {"ExistsErasedName", {"--exists", sErased}, "** File exists.\n", "", 0},
        }};
}

cScenario duplicateNames() {
    const std::string sFirst = "first kernel", sSecond = "second kernel!";
    const uint32_t iSecondCapacity = DEVICE_SIZE - (DATA_OFFSET + PAGE_SIZE);
    return {"DuplicateNames",
            [=] {
                return cHostileImage()
                    .file("kernel", DATA_OFFSET, sFirst)
                    .file("kernel", DATA_OFFSET + PAGE_SIZE, sSecond);
            },
            {
                {"List",
                 {"--list"},
                 listLine("kernel", 12, growable(12, PAGE_SIZE), PAGE_SIZE - 12) +
                     listLine("kernel", 14, growable(14, iSecondCapacity), iSecondCapacity - 14),
                 "",
                 0},
                {"Check",
                 {"--check"},
                 CHECK_PHASES + "  * Checking kernel...\n  * Checking kernel...\n" + CHECK_CLEAN,
                 "",
                 0},
                {"ReadStdoutByName", {"--read-stdout", "kernel"}, sFirst, "", 0},
                {"ReadStdoutSecond", {"--read-stdout", "%1"}, sSecond, "", 0},
                {"ReadByName", {"--read", "kernel", LOCAL}, "", "", 0, sFirst},
            }};
}

// Names are bytes: above 0x7F, control bytes, an escape sequence, a line break, and 16
// bytes on flash of which only 15 count.
const std::string ODD_NAMES[] = {"caf\xc3\xa9", "\x01\x1b[31mred", "tab\there", "line\nbreak",
                                 "sixteen-bytes-!"};
const std::string ODD_CONTENTS[] = {"one", "two", "three", "four", "five"};
constexpr size_t ODD_COUNT = std::size(ODD_NAMES);

cScenario oddNames() {
    std::string sList, sVerbose, sCheck = CHECK_PHASES;
    for (size_t i = 0; i < ODD_COUNT; ++i) {
        const uint32_t iSize = uint32_t(ODD_CONTENTS[i].size());
        const uint32_t iCapacity =
            i + 1 < ODD_COUNT ? PAGE_SIZE : DEVICE_SIZE - (DATA_OFFSET + uint32_t(i) * PAGE_SIZE);
        sList += listLine(ODD_NAMES[i], iSize, growable(iSize, iCapacity), iCapacity - iSize);
        sVerbose += verboseLine(ODD_NAMES[i], iSize, hex(crc16(ODD_CONTENTS[i].data(), iSize)), "",
                                growable(iSize, iCapacity), iCapacity - iSize);
        sCheck += "  * Checking " + ODD_NAMES[i] + "...\n";
    }
    std::vector<cCommandCase> lCases = {
        {"List", {"--list"}, sList, "", 0},
        {"ListVerbose", {"--list", "-v"}, sVerbose, "", 0},
        {"Check", {"--check"}, sCheck + CHECK_CLEAN, "", 0},
        {"ReadStdoutSixteenBytes",
         {"--read-stdout", "sixteen-bytes-!!"},
         "",
         "Fatal: file entry not found (\"sixteen-bytes-!!\")\n",
         1},
    };
    for (size_t i = 0; i < ODD_COUNT; ++i)
        lCases.push_back(
            {"ReadStdoutName" + std::to_string(i), {"--read-stdout", ODD_NAMES[i]}, ODD_CONTENTS[i], "", 0});
    return {"OddNames",
            [] {
                cHostileImage oImage;
                for (size_t i = 0; i < ODD_COUNT; ++i)
                    oImage.file(ODD_NAMES[i], DATA_OFFSET + uint32_t(i) * PAGE_SIZE, ODD_CONTENTS[i]);
                // Byte 15 of the last name's slot, which a loader must ignore.
                return oImage.patch(FAT_OFFSET + uint32_t(ODD_COUNT) * FAT_SLOT_SIZE + NAME_MAX, "!");
            },
            lCases};
}

cScenario erasedFat() {
    const std::string sInvalid = "Fatal: invalid image\n";
    return {"ErasedFat",
            [] { return cHostileImage().eraseAll(); },
            {
                {"List", {"--list"}, "", sInvalid, 1},
                {"ListVerbose", {"--list", "-v"}, "", sInvalid, 1},
                {"Check", {"--check"}, "", sInvalid, 1},
                {"CheckForce", {"--check", "--force"}, "", sInvalid, 1},
                {"Read", {"--read", "kernel", LOCAL}, "", sInvalid, 1},
                {"ReadStdout", {"--read-stdout", "kernel"}, "", sInvalid, 1},
                {"Exists", {"--exists", "kernel"}, "", sInvalid, 1},
                {"Write", {"--write", "kernel", "/nonexistent/source"}, "", sInvalid, 1},
                {"Rename", {"--rename", "kernel", "other"}, "", sInvalid, 1},
            }};
}

struct cRunCase {
    const cScenario* pScenario;
    const cCommandCase* pCommand;
};

void PrintTo(const cRunCase& oCase, std::ostream* pOut) {
    *pOut << oCase.pScenario->sName << " " << oCase.pCommand->sLabel;
}

const std::vector<cScenario>& scenarios() {
    static const std::vector<cScenario> lScenarios = {sizePastEnd(),
                                                      offsetPastEnd(),
                                                      offsetPlusSizeWraps(),
                                                      capacityZero(),
                                                      capacityZeroWithContents(),
                                                      fullTable(),
                                                      erasedSlotsAfterTable(),
                                                      duplicateNames(),
                                                      oddNames(),
                                                      erasedFat()};
    return lScenarios;
}

std::vector<cRunCase> allRunCases() {
    std::vector<cRunCase> lCases;
    for (const cScenario& oScenario : scenarios())
        for (const cCommandCase& oCommand : oScenario.lCases)
            lCases.push_back({&oScenario, &oCommand});
    return lCases;
}

class cHostileImageTest : public testing::TestWithParam<cRunCase> {
  protected:
    cTempDir oDir;
};

TEST_P(cHostileImageTest, RunIsExactAndImageUntouched) {
    const cScenario& oScenario = *GetParam().pScenario;
    const cCommandCase& oCase = *GetParam().pCommand;
    const std::string sImage = oDir.file("image.bin"), sLocal = oDir.file("local.bin");
    const cHostileImage oImage = oScenario.fBuild();
    oImage.writeTo(sImage);

    std::vector<std::string> lArgs = {"-d", sImage};
    bool bQuiet = false;
    for (const std::string& sArg : oCase.lArgs) {
        lArgs.push_back(sArg == LOCAL ? sLocal : sArg);
        bQuiet = bQuiet || sArg == "--read-stdout";
    }
    const cRunResult oRun = runBrellix(lArgs);

    EXPECT_EQ(oRun.sOut, (bQuiet ? "" : "** using device " + sImage + "\n") + oCase.sOut);
    EXPECT_EQ(oRun.sErr, oCase.sErr);
    EXPECT_EQ(oRun.iStatus, oCase.iStatus);
    EXPECT_TRUE(readBytes(sImage) == oImage.bytes()) << "the image changed";
    if (oCase.sLocal) {
        ASSERT_TRUE(fileExists(sLocal));
        const std::vector<unsigned char> lLocal = readBytes(sLocal);
        EXPECT_EQ(std::string(lLocal.begin(), lLocal.end()), *oCase.sLocal);
    } else {
        EXPECT_FALSE(fileExists(sLocal)) << "a local file was created";
    }
}

INSTANTIATE_TEST_SUITE_P(Crafted, cHostileImageTest, testing::ValuesIn(allRunCases()),
                         [](const testing::TestParamInfo<cRunCase>& oInfo) {
                             return oInfo.param.pScenario->sName + "_" + oInfo.param.pCommand->sLabel;
                         });

} // namespace
