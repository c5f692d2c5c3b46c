// The help screen of declared tables: column widths taken from the entries, headings
// set off by empty lines, continuation lines indented to the help column.
#include <gtest/gtest.h>

#include "tests/cmdline/cmdlineTestSupport.h"

namespace {

const std::string TITLE = "Help Screen\n\n";
const std::string CLOSING = "\n";

std::string spaces(size_t iCount) {
    return std::string(iCount, ' ');
}

struct cHelpCase {
    std::string sName;
    std::vector<cDecl> lTable;
    std::string sScreen; // between the title and the closing empty line
};

void PrintTo(const cHelpCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sName;
}

const cHelpCase HELP_CASES[] = {
    {"EmptyTable", {}, ""},
    {"OneOption",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "first")},
     "-a  --alpha  first\n"},
    {"OptionWithoutHelpEndsInSpaces",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "")},
     "-a  --alpha  \n"},
    {"EmptyShortName",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "A"),
      option("b", KIND_OPTIONAL, "", "--beta", ARG_NONE, "", "B")},
     "-a  --alpha  A\n"
     "    --beta   B\n"},
    {"WidthsStartAtOne", {option("x", KIND_OPTIONAL, "", "", ARG_NONE, "", "x")}, "      x\n"},
    {"HelpEndingInLineBreak",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "first\n")},
     "-a  --alpha  first\n" + spaces(13) + "\n"},
    {"DoubleLineBreak",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "one\n\ntwo")},
     "-a  --alpha  one\n" + spaces(13) + "\n" + spaces(13) + "two\n"},
    {"LeadingLineBreak",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "\nnext")},
     "-a  --alpha  \n" + spaces(13) + "next\n"},
    {"OneHeading",
     {heading("h", "-- A --"), option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "x")},
     "\n-- A --" + spaces(11) + "\n\n" + "-a       --alpha  x\n"},
    {"TwoHeadingsInARow",
     {heading("h1", "-- A --"), heading("h2", "-- B --"),
      option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "x")},
     "\n-- A --" + spaces(11) + "\n\n" + "\n-- B --" + spaces(11) + "\n\n" + "-a       --alpha  x\n"},
    {"LongHeadingWidensFirstColumn",
     {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "x\ny"),
      heading("h", "-- a long heading --")},
     "-a" + spaces(20) + "--alpha  x\n" + spaces(31) + "y\n" + "\n-- a long heading --" + spaces(11) +
         "\n\n"},
    {"OneArgumentEntryShowsDescription",
     {option("f", KIND_OPTIONAL, "-f", "--file", ARG_ONE, "path", "read path"),
      option("mv", KIND_OPTIONAL, "-mv", "--rename", ARG_TWO, "file new-file", "rename\nmore")},
     "-f path  --file path  read path\n"
     "-mv      --rename     rename\n" +
         spaces(22) + "more\n"},
    {"EmptyDescriptionStillAddsTheSpace",
     {option("d", KIND_OPTIONAL, "-d", "--device", ARG_ONE, "", "dev"),
      option("h", KIND_OPTIONAL, "-h", "--help", ARG_NONE, "", "help")},
     "-d   --device   dev\n"
     "-h   --help     help\n"},
};

class cHelpScreenTest : public testing::TestWithParam<cHelpCase> {};

TEST_P(cHelpScreenTest, screenMatchesByteForByte) {
    cDeclaredLine oLine({}, GetParam().lTable);
    cStreamCapture oOut(std::cout), oErr(std::cerr);
    oLine.cmdLine().printHelp();
    EXPECT_EQ(oOut.text(), TITLE + GetParam().sScreen + CLOSING);
    EXPECT_EQ(oErr.text(), "");
}

INSTANTIATE_TEST_SUITE_P(Tables, cHelpScreenTest, testing::ValuesIn(HELP_CASES),
                         [](const testing::TestParamInfo<cHelpCase>& oInfo) { return oInfo.param.sName; });

TEST(cCmdLineHelp, emptyTableIsTitleAndTwoEmptyLines) {
    cCmdLine oCmdLine(nullptr, 0);
    cStreamCapture oOut(std::cout);
    oCmdLine.printHelp();
    EXPECT_EQ(oOut.text(), "Help Screen\n\n\n");
}

TEST(cCmdLineHelp, nullEntryLeavesScreenUnchanged) {
    const std::vector<cDecl> lTable = {option("a", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "x")};
    cDeclaredLine oLine({}, lTable);
    oLine.cmdLine().add(nullptr);
    cStreamCapture oOut(std::cout);
    oLine.cmdLine().printHelp();
    EXPECT_EQ(oOut.text(), TITLE + "-a  --alpha  x\n" + CLOSING);
}

TEST(cCmdLineHelp, screenDoesNotDependOnParsedValues) {
    // A collected value must not turn up in the columns.
    const std::vector<cDecl> lTable = {option("o", KIND_OPTIONAL, "-o", "--one", ARG_ONE, "", "x")};
    cDeclaredLine oLine({"-o", "a-rather-long-value"}, lTable);
    ASSERT_TRUE(oLine.cmdLine().parse());
    cStreamCapture oOut(std::cout);
    oLine.cmdLine().printHelp();
    EXPECT_EQ(oOut.text(), TITLE + "-o   --one   x\n" + CLOSING);
}

} // namespace
