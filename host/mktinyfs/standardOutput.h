// The end of what a command of mktinyfs prints: its report, its JSON, its usage text are
// its result, so a line lost on the way is a failure, never a silent success.
#pragma once

// Flushes standard output; throws "cannot write standard output: REASON" when any of what
// was printed could not be written.
void finishStandardOutput();
