// Matching of argument vectors against declared entries: what each argument mode takes,
// the error lines, and the state the entries are left in, also after a failure.
#include <gtest/gtest.h>

#include "tests/cmdline/cmdlineTestSupport.h"

namespace {

const std::string ERROR_PREFIX = "Error in command line: ";

// Options of every argument mode that has a name, between two headings; the headings
// and "--long-only" are the entries an empty token can reach.
const std::vector<cDecl> OPTIONS = {
    heading("head1", "-- one --"),
    option("alpha", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", "alpha help"),
    option("longonly", KIND_OPTIONAL, "", "--long-only", ARG_NONE),
    option("one", KIND_OPTIONAL, "-o", "--one", ARG_ONE, "value"),
    option("two", KIND_OPTIONAL, "-t", "--two", ARG_TWO, "x y"),
    heading("head2", "-- two --"),
};

// Two positional entries ahead of the options, the first of them required.
const std::vector<cDecl> POSITIONALS = {
    option("in", KIND_REQUIRED, "IN", "input", ARG_POSITIONAL, "input file"),
    option("out", KIND_OPTIONAL, "OUT", "output", ARG_POSITIONAL, "output file"),
    option("alpha", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE),
    option("one", KIND_OPTIONAL, "-o", "--one", ARG_ONE, "value"),
};

// An entry expected present after the parse, with its values; every entry not listed
// must be absent with empty values.
struct cPresent {
    std::string sLabel;
    std::string sValue;
    std::string sValue2;
};

struct cParseCase {
    std::string sName;
    const std::vector<cDecl>* pTable;
    std::vector<std::string> lTokens;
    bool bResult;
    std::string sError; // the message behind the prefix; empty when none is expected
    std::vector<cPresent> lPresent;
};

const cParseCase PARSE_CASES[] = {
    // Plain matching and what each mode collects.
    {"ProgramNameOnly", &OPTIONS, {}, true, "", {}},
    {"NoArgShortForm", &OPTIONS, {"-a"}, true, "", {{"alpha", "-a", ""}}},
    {"NoArgLongForm", &OPTIONS, {"--alpha"}, true, "", {{"alpha", "--alpha", ""}}},
    {"LongOnlyOption", &OPTIONS, {"--long-only"}, true, "", {{"longonly", "--long-only", ""}}},
    {"OneArgShortForm", &OPTIONS, {"-o", "v"}, true, "", {{"one", "v", ""}}},
    {"OneArgLongForm", &OPTIONS, {"--one", "v"}, true, "", {{"one", "v", ""}}},
    {"TwoArgs", &OPTIONS, {"-t", "x", "y"}, true, "", {{"two", "x", "y"}}},
    {"TwoArgsLongForm", &OPTIONS, {"--two", "x", "y"}, true, "", {{"two", "x", "y"}}},
    {"OrderOnCommandLineIsFree",
     &OPTIONS,
     {"-t", "x", "y", "--one", "v", "-a"},
     true,
     "",
     {{"alpha", "-a", ""}, {"one", "v", ""}, {"two", "x", "y"}}},
    {"EmptyValueIsAValue", &OPTIONS, {"-o", ""}, true, "", {{"one", "", ""}}},

    // Values are taken whatever they look like.
    {"ValueLooksLikeOption", &OPTIONS, {"-o", "-a"}, true, "", {{"one", "-a", ""}}},
    {"ValueIsOwnName", &OPTIONS, {"-o", "-o"}, true, "", {{"one", "-o", ""}}},
    {"TwoValuesLookLikeOptions", &OPTIONS, {"-t", "-a", "--one"}, true, "", {{"two", "-a", "--one"}}},
    {"ValueIsHeadingText", &OPTIONS, {"-o", "-- one --"}, true, "", {{"one", "-- one --", ""}}},

    // Missing arguments name the short form, however the option was typed.
    {"OneArgLast", &OPTIONS, {"-o"}, false, "to many arguments for parameter -o", {{"one", "", ""}}},
    {"OneArgLongFormLast",
     &OPTIONS,
     {"--one"},
     false,
     "to many arguments for parameter -o",
     {{"one", "", ""}}},
    {"TwoArgsNoneGiven", &OPTIONS, {"-t"}, false, "to many arguments for parameter -t", {{"two", "", ""}}},
    {"TwoArgsOneGiven",
     &OPTIONS,
     {"-t", "x"},
     false,
     "to many arguments for parameter -t",
     {{"two", "", ""}}},
    {"TwoArgsLongFormOneGiven",
     &OPTIONS,
     {"--two", "x"},
     false,
     "to many arguments for parameter -t",
     {{"two", "", ""}}},
    {"EmptyTokenWithPositionalsUsedUp",
     &POSITIONALS,
     {"f", "g", ""},
     false,
     "unknown parameter \"\"",
     {{"in", "f", ""}, {"out", "g", ""}}},

    // Repeated options: an entry takes one token per run.
    {"RepeatedShortForm", &OPTIONS, {"-a", "-a"}, false, "unknown parameter \"-a\"", {{"alpha", "-a", ""}}},
    {"ShortThenLongForm",
     &OPTIONS,
     {"-a", "--alpha"},
     false,
     "unknown parameter \"--alpha\"",
     {{"alpha", "-a", ""}}},
    {"RepeatedOneArg",
     &OPTIONS,
     {"-o", "v", "-o", "w"},
     false,
     "unknown parameter \"-o\"",
     {{"one", "v", ""}}},
    {"ThirdOwnNameAfterValue",
     &OPTIONS,
     {"-o", "-o", "-o"},
     false,
     "unknown parameter \"-o\"",
     {{"one", "-o", ""}}},

    // Whole-token comparison: no "=", no bundling, no abbreviation, case counts, no
    // end-of-options marker.
    {"EqualsFormNoArg", &OPTIONS, {"--alpha=1"}, false, "unknown parameter \"--alpha=1\"", {}},
    {"EqualsFormOneArg", &OPTIONS, {"--one=v"}, false, "unknown parameter \"--one=v\"", {}},
    {"EqualsFormShort", &OPTIONS, {"-o=v"}, false, "unknown parameter \"-o=v\"", {}},
    {"Bundled", &OPTIONS, {"-ao"}, false, "unknown parameter \"-ao\"", {}},
    {"DoubledLetter", &OPTIONS, {"-aa"}, false, "unknown parameter \"-aa\"", {}},
    {"Abbreviated", &OPTIONS, {"--alp"}, false, "unknown parameter \"--alp\"", {}},
    {"UpperCaseShort", &OPTIONS, {"-A"}, false, "unknown parameter \"-A\"", {}},
    {"UpperCaseLong", &OPTIONS, {"--ALPHA"}, false, "unknown parameter \"--ALPHA\"", {}},
    {"TrailingSpace", &OPTIONS, {"-a "}, false, "unknown parameter \"-a \"", {}},
    {"EndOfOptionsMarker", &OPTIONS, {"--", "-a"}, false, "unknown parameter \"--\"", {}},
    {"StrayWord", &OPTIONS, {"word"}, false, "unknown parameter \"word\"", {}},

    // Headings take part in matching; an empty token goes to the first entry not yet
    // present with an empty name.
    {"HeadingText", &OPTIONS, {"-- one --"}, true, "", {{"head1", "-- one --", ""}}},
    {"LaterHeadingText", &OPTIONS, {"-- two --"}, true, "", {{"head2", "-- two --", ""}}},
    {"HeadingTextTwice",
     &OPTIONS,
     {"-- one --", "-- one --"},
     false,
     "unknown parameter \"-- one --\"",
     {{"head1", "-- one --", ""}}},
    {"OneEmptyToken", &OPTIONS, {""}, true, "", {{"head1", "", ""}}},
    {"TwoEmptyTokens", &OPTIONS, {"", ""}, true, "", {{"head1", "", ""}, {"longonly", "", ""}}},
    {"ThreeEmptyTokens",
     &OPTIONS,
     {"", "", ""},
     true,
     "",
     {{"head1", "", ""}, {"longonly", "", ""}, {"head2", "", ""}}},
    {"EmptyTokenWithNoTakerLeft",
     &OPTIONS,
     {"", "", "", ""},
     false,
     "unknown parameter \"\"",
     {{"head1", "", ""}, {"longonly", "", ""}, {"head2", "", ""}}},

    // The first failure ends the parse; earlier entries keep what they took.
    {"LaterTokensNotLookedAt",
     &OPTIONS,
     {"-a", "bogus", "-o", "v"},
     false,
     "unknown parameter \"bogus\"",
     {{"alpha", "-a", ""}}},
    {"FailureFirst", &OPTIONS, {"bogus", "-a"}, false, "unknown parameter \"bogus\"", {}},
    {"MissingArgAfterMatch",
     &OPTIONS,
     {"-a", "-o"},
     false,
     "to many arguments for parameter -o",
     {{"alpha", "-a", ""}, {"one", "", ""}}},
    {"MissingSecondArgAfterMatch",
     &OPTIONS,
     {"-o", "v", "-t", "x"},
     false,
     "to many arguments for parameter -t",
     {{"one", "v", ""}, {"two", "", ""}}},

    // Positional entries take tokens without comparing names and pass option-like
    // tokens on.
    {"FirstPositional", &POSITIONALS, {"f"}, true, "", {{"in", "f", ""}}},
    {"PositionalsInOrder", &POSITIONALS, {"f", "g"}, true, "", {{"in", "f", ""}, {"out", "g", ""}}},
    {"PositionalNameNotCompared", &POSITIONALS, {"OUT"}, true, "", {{"in", "OUT", ""}}},
    {"OptionPassesPositionals", &POSITIONALS, {"-a", "f"}, true, "", {{"alpha", "-a", ""}, {"in", "f", ""}}},
    {"PositionalsAroundOption",
     &POSITIONALS,
     {"f", "-o", "v", "g"},
     true,
     "",
     {{"in", "f", ""}, {"one", "v", ""}, {"out", "g", ""}}},
    {"OptionValueIsNoPositional", &POSITIONALS, {"-o", "f"}, true, "", {{"one", "f", ""}}},
    {"NoPositionalLeft",
     &POSITIONALS,
     {"f", "g", "h"},
     false,
     "unknown parameter \"h\"",
     {{"in", "f", ""}, {"out", "g", ""}}},
    {"UnknownOptionPassesPositionals", &POSITIONALS, {"-x"}, false, "unknown parameter \"-x\"", {}},
    {"LoneDashPassesPositionals", &POSITIONALS, {"-"}, false, "unknown parameter \"-\"", {}},
    {"EmptyTokenAtPositional",
     &POSITIONALS,
     {""},
     false,
     "to many arguments for parameter IN",
     {{"in", "", ""}}},
    {"EmptyTokenAtSecondPositional",
     &POSITIONALS,
     {"f", ""},
     false,
     "to many arguments for parameter OUT",
     {{"in", "f", ""}, {"out", "", ""}}},
};

void PrintTo(const cParseCase& oCase, std::ostream* pOut) {
    *pOut << oCase.sName;
}

class cParseTest : public testing::TestWithParam<cParseCase> {};

TEST_P(cParseTest, resultMessageAndEntryState) {
    const cParseCase& oCase = GetParam();
    cDeclaredLine oLine(oCase.lTokens, *oCase.pTable);

    bool bResult = false;
    std::string sErr, sOut;
    {
        cStreamCapture oErr(std::cerr), oOut(std::cout);
        bResult = oLine.cmdLine().parse();
        sErr = oErr.text();
        sOut = oOut.text();
    }

    EXPECT_EQ(bResult, oCase.bResult);
    EXPECT_EQ(sErr, oCase.sError.empty() ? "" : ERROR_PREFIX + oCase.sError + "\n");
    EXPECT_EQ(sOut, "");
    for (const auto& [sLabel, pEntry] : oLine.entries()) {
        SCOPED_TRACE("entry " + sLabel);
        cPresent oExpected{sLabel, "", ""};
        bool bExpectPresent = false;
        for (const cPresent& oPresent : oCase.lPresent)
            if (oPresent.sLabel == sLabel) {
                oExpected = oPresent;
                bExpectPresent = true;
            }
        EXPECT_EQ(pEntry->isPresent(), bExpectPresent);
        EXPECT_EQ(pEntry->getValue(), oExpected.sValue);
        EXPECT_EQ(pEntry->getValue2(), oExpected.sValue2);
    }
}

INSTANTIATE_TEST_SUITE_P(Tokens, cParseTest, testing::ValuesIn(PARSE_CASES),
                         [](const testing::TestParamInfo<cParseCase>& oInfo) { return oInfo.param.sName; });

TEST(cCmdLineParse, programNameIsNeverMatched) {
    const char* const aArgv[] = {"-a", nullptr};
    cCmdLine oCmdLine(aArgv, 1);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", ""));
    EXPECT_TRUE(oCmdLine.parse());
    EXPECT_FALSE(oCmdLine.getParameter("--alpha").isPresent());
}

TEST(cCmdLineParse, tokensBeyondCountAreNotLookedAt) {
    const char* const aArgv[] = {"prog", "-a", "bogus", nullptr};
    cCmdLine oCmdLine(aArgv, 2);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", ""));
    EXPECT_TRUE(oCmdLine.parse());
    EXPECT_TRUE(oCmdLine.getParameter("--alpha").isPresent());
}

TEST(cCmdLineParse, valuesBeyondCountAreMissing) {
    const char* const aArgv[] = {"prog", "-o", "v", nullptr};
    cCmdLine oCmdLine(aArgv, 2);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-o", "--one", ARG_ONE, "", ""));
    cStreamCapture oErr(std::cerr);
    EXPECT_FALSE(oCmdLine.parse());
    EXPECT_EQ(oErr.text(), ERROR_PREFIX + "to many arguments for parameter -o\n");
}

TEST(cCmdLineParse, nullArgumentVector) {
    cCmdLine oCmdLine(nullptr, 3);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", ""));
    cStreamCapture oErr(std::cerr), oOut(std::cout);
    EXPECT_FALSE(oCmdLine.parse());
    EXPECT_EQ(oErr.text(), ERROR_PREFIX + "no interface-file given\n");
    EXPECT_EQ(oOut.text(), "");
    EXPECT_FALSE(oCmdLine.getParameter("--alpha").isPresent());
}

TEST(cCmdLineParse, emptyListRejectsEveryToken) {
    cArgv oArgv({"x"});
    cCmdLine oCmdLine(oArgv.argv(), oArgv.argc());
    cStreamCapture oErr(std::cerr);
    EXPECT_FALSE(oCmdLine.parse());
    EXPECT_EQ(oErr.text(), ERROR_PREFIX + "unknown parameter \"x\"\n");
}

TEST(cCmdLineParse, nullEntryIsIgnored) {
    // Matching walks the list, so a null entry kept in it would be dereferenced.
    cArgv oArgv({"-o", "v", "-a"});
    cCmdLine oCmdLine(oArgv.argv(), oArgv.argc());
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "", ""));
    oCmdLine.add(nullptr);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-o", "--one", ARG_ONE, "", ""));
    oCmdLine.add(nullptr);
    EXPECT_TRUE(oCmdLine.parse());
    EXPECT_TRUE(oCmdLine.getParameter("--alpha").isPresent());
    EXPECT_EQ(oCmdLine.getParameter("--one").getValue(), "v");
}

TEST(cCmdLineParse, missingValueOfLongOnlyOptionNamesEmptyShortName) {
    cArgv oArgv({"--only-long"});
    cCmdLine oCmdLine(oArgv.argv(), oArgv.argc());
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "", "--only-long", ARG_ONE, "", ""));
    cStreamCapture oErr(std::cerr);
    EXPECT_FALSE(oCmdLine.parse());
    EXPECT_EQ(oErr.text(), ERROR_PREFIX + "to many arguments for parameter \n");
}

TEST(cCmdLineError, printErrorWritesOneLineToStandardError) {
    cCmdLine oCmdLine(nullptr, 0);
    cStreamCapture oErr(std::cerr), oOut(std::cout);
    oCmdLine.printError("something");
    oCmdLine.printError("");
    EXPECT_EQ(oErr.text(), ERROR_PREFIX + "something\n" + ERROR_PREFIX + "\n");
    EXPECT_EQ(oOut.text(), "");
}

// checkRequired: separate from parse, reports the first required entry missing.

TEST(cCmdLineRequired, parseDoesNotCheckRequired) {
    cDeclaredLine oLine({"-a"}, POSITIONALS);
    cStreamCapture oErr(std::cerr);
    EXPECT_TRUE(oLine.cmdLine().parse());
    EXPECT_EQ(oErr.text(), "");
}

TEST(cCmdLineRequired, missingPositionalIsNamedByItsDescription) {
    cDeclaredLine oLine({"-a"}, POSITIONALS);
    ASSERT_TRUE(oLine.cmdLine().parse());
    cStreamCapture oErr(std::cerr), oOut(std::cout);
    EXPECT_FALSE(oLine.cmdLine().checkRequired());
    EXPECT_EQ(oErr.text(), ERROR_PREFIX + "missing required parameter (input file)\n");
    EXPECT_EQ(oOut.text(), "");
}

TEST(cCmdLineRequired, givenPositionalSatisfiesIt) {
    cDeclaredLine oLine({"f"}, POSITIONALS);
    ASSERT_TRUE(oLine.cmdLine().parse());
    cStreamCapture oErr(std::cerr);
    EXPECT_TRUE(oLine.cmdLine().checkRequired());
    EXPECT_EQ(oErr.text(), "");
}

TEST(cCmdLineRequired, onlyTheFirstMissingIsReported) {
    const std::vector<cDecl> lTable = {
        option("alpha", KIND_OPTIONAL, "-a", "--alpha", ARG_NONE, "not required"),
        option("src", KIND_REQUIRED, "-s", "--source", ARG_ONE, "source"),
        heading("head", "-- heading --"),
        option("dst", KIND_REQUIRED, "-t", "--target", ARG_TWO, "target pair"),
    };
    struct cCase {
        std::vector<std::string> lTokens;
        bool bResult;
        std::string sErr;
    };
    const cCase aCases[] = {
        {{}, false, ERROR_PREFIX + "missing required parameter (source)\n"},
        {{"-t", "x", "y"}, false, ERROR_PREFIX + "missing required parameter (source)\n"},
        {{"--source", "x"}, false, ERROR_PREFIX + "missing required parameter (target pair)\n"},
        {{"-s", "x", "-t", "y", "z"}, true, ""},
    };
    for (const cCase& oCase : aCases) {
        SCOPED_TRACE(testing::PrintToString(oCase.lTokens));
        cDeclaredLine oLine(oCase.lTokens, lTable);
        ASSERT_TRUE(oLine.cmdLine().parse());
        cStreamCapture oErr(std::cerr);
        EXPECT_EQ(oLine.cmdLine().checkRequired(), oCase.bResult);
        EXPECT_EQ(oErr.text(), oCase.sErr);
    }
}

TEST(cCmdLineRequired, optionalEntriesAndHeadingsAreNeverRequired) {
    cDeclaredLine oLine({}, OPTIONS);
    ASSERT_TRUE(oLine.cmdLine().parse());
    cStreamCapture oErr(std::cerr);
    EXPECT_TRUE(oLine.cmdLine().checkRequired());
    EXPECT_EQ(oErr.text(), "");
}

TEST(cCmdLineRequired, entryLeftPresentByFailedParseCounts) {
    // "-s" lacks its value: the parse fails but leaves the entry marked present.
    const std::vector<cDecl> lTable = {option("src", KIND_REQUIRED, "-s", "--source", ARG_ONE, "source")};
    cDeclaredLine oLine({"-s"}, lTable);
    {
        cStreamCapture oErr(std::cerr);
        ASSERT_FALSE(oLine.cmdLine().parse());
    }
    cStreamCapture oErr(std::cerr);
    EXPECT_TRUE(oLine.cmdLine().checkRequired());
    EXPECT_EQ(oErr.text(), "");
}

} // namespace
