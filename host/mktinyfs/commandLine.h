// Reading mktinyfs's command line: its words left to right, @FILEs replaced by the words
// they hold, options applied by their rows (host/mktinyfs/optionRows.h), and what the
// line asks for checked as a whole.
#pragma once

#include "host/mktinyfs/optionRows.h"

// Throws a one-line message for a line it cannot take; stops at --help.
cOptions readCommandLine(int iArgc, char** pArgv);
