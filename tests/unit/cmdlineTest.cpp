// The parser's rules beyond what the tool's own table shows: positional and required
// entries, lookups, and a missing argument vector.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cmdline/cCmdLine.h"

namespace {

// A file positional, a heading, an optional "-o FILE", a required "-n", and a second
// entry named "--out". The error lines printed; none when parsing succeeded.
std::string parse(cCmdLine& oCmdLine) {
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "", "input", ARG_POSITIONAL, "", ""));
    oCmdLine.add(std::make_unique<cCmdLineSeparator>("-- files --"));
    oCmdLine.add(nullptr);
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-o", "--out", ARG_ONE, "FILE", ""));
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_REQUIRED, "-n", "--name", ARG_NONE, "name", ""));
    oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, "-O", "--out", ARG_NONE, "", ""));
    testing::internal::CaptureStderr();
    const bool bParsed = oCmdLine.parse() && oCmdLine.checkRequired();
    const std::string sErrors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(bParsed, sErrors.empty());
    return sErrors;
}

std::string parse(std::vector<const char*> lArgs) {
    lArgs.insert(lArgs.begin(), "prog");
    cCmdLine oCmdLine(lArgs.data(), int32_t(lArgs.size()));
    return parse(oCmdLine);
}

TEST(Parser, PositionalAndRequiredEntries) {
    const char PREFIX[] = "Error in command line: ";
    EXPECT_EQ(parse({"-n", "a.bin"}), "");
    EXPECT_EQ(parse({"a.bin"}), PREFIX + std::string("missing required parameter (name)\n"));
    EXPECT_EQ(parse({"a.bin", "b.bin", "-n"}), PREFIX + std::string("unknown parameter \"b.bin\"\n"));
    EXPECT_EQ(parse({"", "-n"}), PREFIX + std::string("to many arguments for parameter \n"));

    const char* aArgs[] = {"prog", "-o", "-n", "-n", "in"};
    cCmdLine oCmdLine(aArgs, 5);
    EXPECT_EQ(parse(oCmdLine), "");
    EXPECT_EQ(oCmdLine.getParameter("--out").getValue(), "-n");
    EXPECT_EQ(oCmdLine.getParameter("--out").getArgValue(), "-n");
    EXPECT_EQ(oCmdLine.getParameter("input").getValue(), "in");
    EXPECT_EQ(oCmdLine.getParameter("--name").getValue(), "-n");
    EXPECT_EQ(oCmdLine.getParameter("--name").getArgValue(), "");
    EXPECT_FALSE(oCmdLine.getParameter("-o").isPresent());
    EXPECT_EQ(oCmdLine.getParameter("--nothing").getValue2(), "");

    cCmdLine oNoVector(nullptr, 3);
    EXPECT_EQ(parse(oNoVector), PREFIX + std::string("no interface-file given\n"));
}

} // namespace
