// The tool's option table: 4 section headings and 17 options, in the order they are
// matched and shown on the help screen.
#pragma once

#include <cstdint>

class cCmdLine;

struct cOptionRow {
    const char* sShortName; // the heading text for a heading row
    const char* sLongName;  // nullptr for a heading row
    int32_t iArgMode;
    const char* sArgDescription;
    const char* sHelpText;
};

extern const cOptionRow OPTION_TABLE[];
extern const int32_t OPTION_TABLE_ROWS;

// Adds every row to the command line, which owns the entries from then on.
void declareOptions(cCmdLine& oCmdLine);
