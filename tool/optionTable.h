// The tool's option table: 4 section headings and 17 options, in the order they are
// matched and shown on the help screen.
#pragma once

class cCmdLine;

// Adds every row to the command line, which owns the entries from then on.
void declareOptions(cCmdLine& oCmdLine);
