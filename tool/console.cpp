// Console output: info and plain lines, the fatal exit, and the erasable status line.
#include "tool/console.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "tinyfs/integrityCheck.h"

bool bQuiet = false;

namespace {

bool bStatusShown = false;

// Writes and flushes, so that a reader sees the text at once and a failure shows at once.
bool put(std::FILE* pStream, std::string_view sText) {
    return std::fwrite(sText.data(), 1, sText.size(), pStream) == sText.size() && std::fflush(pStream) == 0;
}

// A descriptor opened for reading only, on the lowest free number: writes to it fail.
int openStandIn() {
    const int iFd = ::open("/dev/null", O_RDONLY);
    return iFd >= 0 ? iFd : ::open("/", O_RDONLY | O_DIRECTORY);
}

} // namespace

void guardConsole() {
    // A closed descriptor gets a stand-in: output to a closed standard output is
    // reported, and never lands in the device.
    for (int iFd = STDIN_FILENO; iFd <= STDERR_FILENO; ++iFd) {
        if (::fcntl(iFd, F_GETFD) == -1 && openStandIn() != iFd)
            std::_Exit(EXIT_FAILURE); // nothing can be reported, and nothing was touched
    }
    std::signal(SIGPIPE, SIG_IGN);
}

void divertConsole(const std::array<bool, 3>& lRefused) {
    for (int iFd = STDIN_FILENO; iFd <= STDERR_FILENO; ++iFd) {
        if (!lRefused[size_t(iFd)])
            continue;
        const bool bToOutput = iFd == STDERR_FILENO && !lRefused[STDOUT_FILENO];
        const int iStandIn = bToOutput ? STDOUT_FILENO : openStandIn();
        if (iStandIn < 0 || ::dup2(iStandIn, iFd) < 0)
            ::close(iFd); // then nothing written there arrives anywhere
        if (!bToOutput && iStandIn >= 0)
            ::close(iStandIn);
    }
}

void showStatusLine(const std::string& sLine) {
    bStatusShown = put(stderr, ERASE_LINE + sLine);
}

cStatusLine consoleStatusLine() {
    if (bQuiet || !errorIsTerminal())
        return {};
    return {showStatusLine, clearStatusLine};
}

void clearStatusLine() {
    if (bStatusShown)
        put(stderr, ERASE_LINE);
    bStatusShown = false;
}

void printText(std::string_view sText) {
    clearStatusLine();
    if (!put(stdout, sText))
        throw std::string("unable to write data");
}

void printInfo(const std::string& sMessage) {
    if (!bQuiet)
        printText("** " + sMessage + "\n");
}

void printPlain(const std::string& sMessage) {
    if (!bQuiet)
        printText(sMessage + "\n");
}

bool outputArrived() {
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

void fatal(const std::string& sMessage, int iStatus) {
    clearStatusLine();
    put(stderr, FATAL_PREFIX + sMessage + "\n");
    std::exit(iStatus);
}
