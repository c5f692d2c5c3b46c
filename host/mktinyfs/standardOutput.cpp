// The end of what a command of mktinyfs prints.
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
