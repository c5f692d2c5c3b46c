// The parser's rules beyond what the tool's own table shows: positional and required
// entries, lookups, a missing argument vector, and the help layout of any table.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cmdline/cCmdLine.h"

namespace {

struct cRun {
    bool bParsed;
    std::string sErrors;
};

// A file positional, a heading, an optional "-o FILE", a required "-n", and a second
// entry named "--out".
cRun parse(cCmdLine& oCmdLine) {
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "", "input", ARG_POSITIONAL, "", ""));
    oCmdLine.add(std::make_unique<cCmdLineSeparator>("-- files --"));
    oCmdLine.add(nullptr);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-o", "--out", ARG_ONE, "FILE", ""));
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_REQUIRED, "-n", "--name", ARG_NONE, "name", ""));
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-O", "--out", ARG_NONE, "", ""));
    testing::internal::CaptureStderr();
    const bool bParsed = oCmdLine.parse() && oCmdLine.checkRequired();
    return {bParsed, testing::internal::GetCapturedStderr()};
}

cRun parse(std::vector<const char*> lArgs) {
    lArgs.insert(lArgs.begin(), "prog");
    cCmdLine oCmdLine(lArgs.data(), int32_t(lArgs.size()));
    return parse(oCmdLine);
}

TEST(Parser, PositionalAndRequiredEntries) {
    const char PREFIX[] = "Error in command line: ";
    EXPECT_EQ(parse({"-n", "a.bin"}).sErrors, "");
    EXPECT_EQ(parse({"a.bin"}).sErrors, PREFIX + std::string("missing required parameter (name)\n"));
    EXPECT_EQ(parse({"a.bin", "b.bin", "-n"}).sErrors, PREFIX + std::string("unknown parameter \"b.bin\"\n"));
    EXPECT_EQ(parse({"", "-n"}).sErrors, PREFIX + std::string("to many arguments for parameter \n"));
    EXPECT_EQ(parse({"-x"}).sErrors, PREFIX + std::string("unknown parameter \"-x\"\n"));

    const char* aArgs[] = {"prog", "-o", "-n", "-n", "in"};
    cCmdLine oCmdLine(aArgs, 5);
    EXPECT_TRUE(parse(oCmdLine).bParsed);
    EXPECT_EQ(oCmdLine.getParameter("--out").getValue(), "-n");
    EXPECT_EQ(oCmdLine.getParameter("--out").getArgValue(), "-n");
    EXPECT_EQ(oCmdLine.getParameter("input").getValue(), "in");
    EXPECT_EQ(oCmdLine.getParameter("--name").getValue(), "-n");
    EXPECT_EQ(oCmdLine.getParameter("--name").getArgValue(), "");
    EXPECT_FALSE(oCmdLine.getParameter("-o").isPresent());
    EXPECT_EQ(oCmdLine.getParameter("--nothing").getValue2(), "");

    cCmdLine oNoVector(nullptr, 3);
    EXPECT_EQ(parse(oNoVector).sErrors, PREFIX + std::string("no interface-file given\n"));
}

std::string help(std::vector<std::unique_ptr<cCmdLineParameter>> lEntries) {
    cCmdLine oCmdLine(nullptr, 0);
    for (auto& pEntry : lEntries)
        oCmdLine.add(std::move(pEntry));
    testing::internal::CaptureStdout();
    oCmdLine.printHelp();
    return testing::internal::GetCapturedStdout();
}

TEST(HelpScreen, ColumnsFollowTheEntries) {
    EXPECT_EQ(help({}), "Help Screen\n\n\n");
    std::vector<std::unique_ptr<cCmdLineParameter>> lEntries;
    lEntries.push_back(std::make_unique<cCmdLineSeparator>("-- a long heading --"));
    lEntries.push_back(std::make_unique<cCmdLineSeparator>("-- b --"));
    lEntries.push_back(
        std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-f", "--file", ARG_ONE, "F", "one\n"));
    lEntries.push_back(
        std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "", "--x", ARG_TWO, "A B", "a\n\nb"));
    const std::string sIndent(20 + 8 + 4, ' ');
    EXPECT_EQ(help(std::move(lEntries)), "Help Screen\n\n\n-- a long heading --" + std::string(12, ' ') +
                                             "\n\n\n-- b --" + std::string(25, ' ') + "\n\n-f F" +
                                             std::string(18, ' ') + "--file F  one\n" + sIndent + "\n" +
                                             std::string(22, ' ') + "--x" + std::string(7, ' ') + "a\n" +
                                             sIndent + "\n" + sIndent + "b\n\n");
}

} // namespace
