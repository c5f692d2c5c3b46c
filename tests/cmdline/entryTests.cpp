// Declared entries on their own and in the list: construction, headings, help-screen
// columns, lookup by long name, and ownership by the command line.
#include <gtest/gtest.h>

#include <map>

#include "tests/cmdline/cmdlineTestSupport.h"

namespace {

TEST(cCmdLineParameter, constructorArgumentsLandInTheirFields) {
    const cCmdLineParameter oEntry(KIND_REQUIRED, "-s", "--short", ARG_TWO, "a b", "some help");
    EXPECT_EQ(oEntry.getKind(), KIND_REQUIRED);
    EXPECT_EQ(oEntry.getShortName(), "-s");
    EXPECT_EQ(oEntry.getLongName(), "--short");
    EXPECT_EQ(oEntry.getArgMode(), ARG_TWO);
    EXPECT_EQ(oEntry.getArgDescription(), "a b");
    EXPECT_EQ(oEntry.getHelpText(), "some help");
    EXPECT_FALSE(oEntry.isPresent());
    EXPECT_EQ(oEntry.getValue(), "");
    EXPECT_EQ(oEntry.getValue2(), "");
    EXPECT_EQ(oEntry.getArgValue(), "");
}

TEST(cCmdLineSeparator, headingProperties) {
    const cCmdLineSeparator oHeading("-- file options --");
    EXPECT_EQ(oHeading.getKind(), KIND_SEPARATOR);
    EXPECT_EQ(oHeading.getArgMode(), ARG_NONE);
    EXPECT_EQ(oHeading.getShortName(), "-- file options --");
    EXPECT_EQ(oHeading.getLongName(), "");
    EXPECT_EQ(oHeading.getArgDescription(), "");
    EXPECT_EQ(oHeading.getHelpText(), "");
    EXPECT_FALSE(oHeading.isPresent());
    EXPECT_EQ(oHeading.getValue(), "");
    EXPECT_EQ(oHeading.getValue2(), "");
    EXPECT_EQ(oHeading.getShortColumn(), "-- file options --");
    EXPECT_EQ(oHeading.getLongColumn(), "");
}

TEST(cCmdLineParameter, argValueIsEmptyForNoArgumentEntriesOnly) {
    const std::vector<cDecl> lTable = {
        option("pos", KIND_OPTIONAL, "P", "pos", ARG_POSITIONAL),
        option("none", KIND_OPTIONAL, "-n", "--none", ARG_NONE),
        option("one", KIND_OPTIONAL, "-o", "--one", ARG_ONE),
        option("two", KIND_OPTIONAL, "-t", "--two", ARG_TWO),
    };
    cDeclaredLine oLine({"word", "-n", "-o", "v", "-t", "x", "y"}, lTable);
    ASSERT_TRUE(oLine.cmdLine().parse());
    EXPECT_EQ(oLine.entry("pos").getArgValue(), "word");
    EXPECT_EQ(oLine.entry("none").getValue(), "-n");
    EXPECT_EQ(oLine.entry("none").getArgValue(), "");
    EXPECT_EQ(oLine.entry("one").getArgValue(), "v");
    EXPECT_EQ(oLine.entry("two").getArgValue(), "x");
}

struct cColumnCase {
    int32_t iArgMode;
    std::string sShortName, sLongName, sArgDescription;
    std::string sShortColumn, sLongColumn;
};

TEST(cCmdLineParameter, columnsShowTheDescriptionForOneArgumentEntriesOnly) {
    const cColumnCase aCases[] = {
        {ARG_ONE, "-d", "--device", "", "-d ", "--device "},
        {ARG_ONE, "-f", "--file", "path", "-f path", "--file path"},
        {ARG_ONE, "", "--only-long", "x", " x", "--only-long x"},
        {ARG_TWO, "-mv", "--rename", "file new-file", "-mv", "--rename"},
        {ARG_NONE, "-h", "--help", "unused", "-h", "--help"},
        {ARG_POSITIONAL, "IN", "input", "input file", "IN", "input"},
    };
    for (const cColumnCase& oCase : aCases) {
        SCOPED_TRACE(oCase.sShortName + " mode " + std::to_string(oCase.iArgMode));
        const cCmdLineParameter oEntry(KIND_OPTIONAL, oCase.sShortName, oCase.sLongName, oCase.iArgMode,
                                       oCase.sArgDescription, "help");
        EXPECT_EQ(oEntry.getShortColumn(), oCase.sShortColumn);
        EXPECT_EQ(oEntry.getLongColumn(), oCase.sLongColumn);
    }
}

// Lookup by long name.

const std::vector<cDecl> LOOKUP_TABLE = {
    heading("head", "-- heading --"),
    option("alpha", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE),
    option("one", KIND_OPTIONAL, "-o", "--one", ARG_ONE),
};

TEST(cCmdLineGetParameter, findsDeclaredEntryByLongName) {
    cDeclaredLine oLine({"-a", "-o", "v"}, LOOKUP_TABLE);
    ASSERT_TRUE(oLine.cmdLine().parse());
    EXPECT_EQ(&oLine.cmdLine().getParameter("--alpha"), &oLine.entry("alpha"));
    EXPECT_EQ(&oLine.cmdLine().getParameter("--one"), &oLine.entry("one"));
    EXPECT_EQ(oLine.cmdLine().getParameter("--one").getValue(), "v");
}

TEST(cCmdLineGetParameter, otherNamesAnswerWithAnEntryNeverGiven) {
    // Every token is given, so any present answer would come from a declared entry.
    cDeclaredLine oLine({"-- heading --", "-a", "-o", "v"}, LOOKUP_TABLE);
    ASSERT_TRUE(oLine.cmdLine().parse());
    cCmdLineParameter& pNotFound = oLine.cmdLine().getParameter("--undeclared");
    for (const char* sName : {"-a", "-o", "--ALPHA", "--alp", "--alphax", "alpha", "--undeclared",
                              "-- heading --", "fatal not found"}) {
        SCOPED_TRACE(sName);
        cCmdLineParameter& pEntry = oLine.cmdLine().getParameter(sName);
        EXPECT_EQ(&pEntry, &pNotFound);
        EXPECT_FALSE(pEntry.isPresent());
        EXPECT_EQ(pEntry.getValue(), "");
        EXPECT_EQ(pEntry.getValue2(), "");
        for (const auto& oEntry : oLine.entries())
            EXPECT_NE(&pEntry, oEntry.second);
    }
    EXPECT_EQ(pNotFound.getKind(), KIND_SEPARATOR);
    EXPECT_EQ(pNotFound.getShortName(), "fatal not found");
}

TEST(cCmdLineGetParameter, emptyNameFindsFirstEntryWithEmptyLongName) {
    cDeclaredLine oLine({}, LOOKUP_TABLE);
    EXPECT_EQ(&oLine.cmdLine().getParameter(""), &oLine.entry("head"));
}

TEST(cCmdLineGetParameter, emptyListAnswersWithNotFound) {
    cCmdLine oCmdLine(nullptr, 0);
    const cCmdLineParameter& pEntry = oCmdLine.getParameter("--alpha");
    EXPECT_FALSE(pEntry.isPresent());
    EXPECT_EQ(pEntry.getValue(), "");
    EXPECT_EQ(pEntry.getShortName(), "fatal not found");
}

TEST(cCmdLineGetParameter, headingOfNotFoundIsNoToken) {
    cDeclaredLine oLine({"fatal not found"}, LOOKUP_TABLE);
    cStreamCapture oErr(std::cerr);
    EXPECT_FALSE(oLine.cmdLine().parse());
    EXPECT_EQ(oErr.text(), "Error in command line: unknown parameter \"fatal not found\"\n");
}

const std::vector<cDecl> DUPLICATE_TABLE = {
    option("first", KIND_OPTIONAL, "-x", "--dup", ARG_NONE),
    option("second", KIND_OPTIONAL, "-y", "--dup", ARG_ONE),
};

TEST(cCmdLineGetParameter, duplicateLongNameAnswersWithFirstAdded) {
    cDeclaredLine oLine({"-y", "v"}, DUPLICATE_TABLE);
    ASSERT_TRUE(oLine.cmdLine().parse());
    EXPECT_TRUE(oLine.entry("second").isPresent());
    cCmdLineParameter& pFound = oLine.cmdLine().getParameter("--dup");
    EXPECT_EQ(&pFound, &oLine.entry("first"));
    EXPECT_FALSE(pFound.isPresent());
}

TEST(cCmdLineGetParameter, repeatedDuplicateNameFillsBothEntries) {
    cDeclaredLine oLine({"--dup", "--dup", "v"}, DUPLICATE_TABLE);
    ASSERT_TRUE(oLine.cmdLine().parse());
    EXPECT_EQ(oLine.entry("first").getValue(), "--dup");
    EXPECT_EQ(oLine.entry("second").getValue(), "v");
}

// Ownership: every entry handed to add is destroyed exactly once, by the command line.

std::map<int, int> lDestroyed; // entry number -> destructor calls
std::vector<int> lDestroyOrder;

class cCountedEntry : public cCmdLineParameter {
  public:
    cCountedEntry(int iNumber, const std::string& sShortName)
        : cCmdLineParameter(KIND_OPTIONAL, sShortName, "-" + sShortName, ARG_NONE, "", ""), iNumber(iNumber) {
    }
    ~cCountedEntry() override {
        ++lDestroyed[iNumber];
        lDestroyOrder.push_back(iNumber);
    }

  private:
    int iNumber;
};

class cCountedHeading : public cCmdLineSeparator {
  public:
    explicit cCountedHeading(int iNumber) : cCmdLineSeparator("-- counted --"), iNumber(iNumber) {}
    ~cCountedHeading() override {
        ++lDestroyed[iNumber];
        lDestroyOrder.push_back(iNumber);
    }

  private:
    int iNumber;
};

constexpr int COUNTED_ENTRIES = 4;

void addCounted(cCmdLine& oCmdLine) {
    oCmdLine.add(std::make_unique<cCountedHeading>(0));
    oCmdLine.add(std::make_unique<cCountedEntry>(1, "-a"));
    oCmdLine.add(nullptr);
    oCmdLine.add(std::make_unique<cCountedEntry>(2, "-b"));
    oCmdLine.add(std::make_unique<cCountedHeading>(3));
}

void expectEachDestroyedOnceInListOrder() {
    std::vector<int> lExpectedOrder;
    for (int i = 0; i < COUNTED_ENTRIES; ++i) {
        EXPECT_EQ(lDestroyed[i], 1) << "entry " << i;
        lExpectedOrder.push_back(i);
    }
    EXPECT_EQ(lDestroyed.size(), size_t(COUNTED_ENTRIES));
    EXPECT_EQ(lDestroyOrder, lExpectedOrder);
}

class cCmdLineOwnership : public testing::Test {
  protected:
    void SetUp() override {
        lDestroyed.clear();
        lDestroyOrder.clear();
    }
};

TEST_F(cCmdLineOwnership, entriesLiveUntilTheCommandLineGoes) {
    cArgv oArgv({"-a", "-b"});
    {
        cCmdLine oCmdLine(oArgv.argv(), oArgv.argc());
        addCounted(oCmdLine);
        EXPECT_TRUE(oCmdLine.parse());
        EXPECT_TRUE(oCmdLine.getParameter("--b").isPresent());
        EXPECT_TRUE(lDestroyed.empty());
    }
    expectEachDestroyedOnceInListOrder();
}

TEST_F(cCmdLineOwnership, failedParseChangesNothing) {
    cArgv oArgv({"-a", "-a"});
    {
        cCmdLine oCmdLine(oArgv.argv(), oArgv.argc());
        addCounted(oCmdLine);
        cStreamCapture oErr(std::cerr);
        EXPECT_FALSE(oCmdLine.parse());
    }
    expectEachDestroyedOnceInListOrder();
}

TEST_F(cCmdLineOwnership, unwindingDestroysEntries) {
    cArgv oArgv({});
    EXPECT_THROW(
        {
            cCmdLine oCmdLine(oArgv.argv(), oArgv.argc());
            addCounted(oCmdLine);
            throw std::string("leaving");
        },
        std::string);
    expectEachDestroyedOnceInListOrder();
}

} // namespace
