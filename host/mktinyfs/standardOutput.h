// The end of what a command of mktinyfs prints: its report, its JSON, its usage text are
// its result, so a line lost on the way is a failure, never a silent success. And the
// status line of progress indicators, on standard error.
#pragma once

#include "tinyfs/cProgress.h"

// Flushes standard output; throws "cannot write standard output: REASON" when any of what
// was printed could not be written.
void finishStandardOutput();

// Where progress indicators draw: standard error when it is a terminal, else nowhere.
cStatusLine errorStatusLine();
