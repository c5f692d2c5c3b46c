// Console output: info and plain lines, the fatal exit, and the erasable status line.
#include "tool/console.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

bool bQuiet = false;

namespace {

bool bStatusShown = false;

// Carriage return, then erase to the end of the line: the terminal shows what it
// showed before the status line was drawn.
constexpr char ERASE_LINE[] = "\r\033[K";

// Writes and flushes, so that a reader sees the text at once and a failure shows at once.
bool put(std::FILE* pStream, std::string_view sText) {
    return std::fwrite(sText.data(), 1, sText.size(), pStream) == sText.size() && std::fflush(pStream) == 0;
}

} // namespace

void guardConsole() {
    // A closed descriptor gets a stand-in opened for reading only: writes to it fail, so
    // output to a closed standard output is reported, and never lands in the device.
    for (int iFd = STDIN_FILENO; iFd <= STDERR_FILENO; ++iFd) {
        if (::fcntl(iFd, F_GETFD) != -1)
            continue;
        const int iStandIn = ::open("/dev/null", O_RDONLY);
        if (iStandIn != iFd && (iStandIn >= 0 || ::open("/", O_RDONLY | O_DIRECTORY) != iFd))
            std::_Exit(EXIT_FAILURE); // nothing can be reported, and nothing was touched
    }
    std::signal(SIGPIPE, SIG_IGN);
}

void showStatusLine(const std::string& sLine) {
    bStatusShown = put(stderr, ERASE_LINE + sLine);
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

void fatal(const std::string& sMessage) {
    clearStatusLine();
    put(stderr, "Fatal: " + sMessage + "\n");
    std::exit(EXIT_FAILURE);
}
