// The end of what a command of mktinyfs prints, and its status line.
#include "host/mktinyfs/standardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

void finishStandardOutput() {
    // ferror: an earlier write of the buffer may have failed already.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw std::string("cannot write standard output: ") + std::strerror(errno);
}

cStatusLine errorStatusLine() {
    if (!errorIsTerminal())
        return {};
    // Unbuffered standard error shows each line at once; a line lost there loses nothing.
    return {[](const std::string& sLine) { std::fputs((ERASE_LINE + sLine).c_str(), stderr); },
            [] { std::fputs(ERASE_LINE, stderr); }};
}
