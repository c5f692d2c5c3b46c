// Running the tool with a pseudo-terminal as its terminal, the way an operator at the
// board's console sees it, and rendering what such a terminal would end up showing.
#pragma once

#include <string>
#include <vector>

struct cTerminalRun {
    std::string sTerminal; // every byte the tool wrote to the terminal
    std::string sOut;      // standard output, when it went to a pipe
    int iStatus = -1;      // exit status, or 128 + signal number when killed by a signal
};

// Runs lArgs[0] with the terminal as standard input and standard error, and as standard
// output too when bStdoutOnTerminal; otherwise standard output goes to a pipe. The
// terminal passes bytes through unchanged (no line-end translation). lEnv entries
// "NAME=value" replace or extend the test's own environment.
cTerminalRun runOnTerminal(const std::vector<std::string>& lArgs, const std::vector<std::string>& lEnv,
                           bool bStdoutOnTerminal);

// What a terminal shows after receiving sBytes, one text per line, the line the cursor
// stands on last (empty when output ended with a line end). Understands printable
// bytes, carriage return, line end (as a terminal that starts a new line at column 0)
// and "erase to end of line" (ESC [ K); anything else sets bUnexpected.
struct cScreen {
    std::vector<std::string> lLines;
    bool bUnexpected = false;
};
cScreen renderScreen(const std::string& sBytes);
