// The option table and its declaration on a command line.
#include "tool/optionTable.h"

#include <memory>

#include "cmdline/cCmdLine.h"

namespace {

struct cOptionRow {
    const char* sShortName; // the heading text for a heading row
    const char* sLongName;  // nullptr for a heading row
    int32_t iArgMode;
    const char* sArgDescription;
    const char* sHelpText;
};

// Declaration order is matching order and help-screen order.
const cOptionRow OPTION_TABLE[] = {
    {"-- basic options --", nullptr, ARG_NONE, "", ""},
    {"-h", "--help", ARG_NONE, "", "show help screen"},
    {"", "--version", ARG_NONE, "", "show version information"},
    {"-v", "--verbose", ARG_NONE, "", "force maximum output"},
    {"-q", "--quiet", ARG_NONE, "", "no info messages"},
    {"", "--force", ARG_NONE, "", "force operation"},
    {"-- tinyfs options --", nullptr, ARG_NONE, "", ""},
    {"-d", "--device", ARG_ONE, "", "specify the mtd device (default is /dev/mtd0)"},
    {"-c", "--check", ARG_NONE, "", "check filesystem"},
    {"-- file options --", nullptr, ARG_NONE, "", ""},
    {"-sm", "--set-mac", ARG_ONE, "", "specify a new mac-address"},
    {"-gm", "--get-mac", ARG_NONE, "", "read out the current mac-address"},
    {"-l", "--list", ARG_NONE, "", "list all files"},
    {"-e", "--exists", ARG_ONE, "", "check for existence of file"},
    {"-r", "--read", ARG_TWO, "", "copy a file to local filesystem"},
    {"-rs", "--read-stdout", ARG_ONE, "", "print the contents of given file to stdout\n(implies --quiet)"},
    {"-w", "--write", ARG_TWO, "", "copy a file from local fs to device (program flash)"},
    {"-mv", "--rename", ARG_TWO, "file new-file", "rename a file"},
    {"-- device options --", nullptr, ARG_NONE, "", ""},
    {"-sdid", "--set-device-id", ARG_ONE, "", "set the device identifier (take care!)"},
    {"-gdid", "--get-device-id", ARG_NONE, "", "get the device identifier"},
};

} // namespace

void declareOptions(cCmdLine& oCmdLine) {
    for (const cOptionRow& oRow : OPTION_TABLE) {
        if (oRow.sLongName == nullptr)
            oCmdLine.add(std::make_unique<cCmdLineSeparator>(oRow.sShortName));
        else
            oCmdLine.add(std::make_unique<cCmdLineParameter>(KIND_OPTIONAL, oRow.sShortName, oRow.sLongName,
                                                             oRow.iArgMode, oRow.sArgDescription,
                                                             oRow.sHelpText));
    }
}
