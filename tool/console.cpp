// Console output: info and plain lines, the fatal exit, and the erasable status line.
#include "tool/console.h"

#include <cstdlib>
#include <iostream>

bool bQuiet = false;

namespace {

bool bStatusShown = false;

// Carriage return, then erase to the end of the line: the terminal shows what it
// showed before the status line was drawn.
constexpr char ERASE_LINE[] = "\r\033[K";

} // namespace

void showStatusLine(const std::string& sLine) {
    std::cerr << ERASE_LINE << sLine << std::flush;
    bStatusShown = true;
}

void clearStatusLine() {
    if (!bStatusShown)
        return;
    std::cerr << ERASE_LINE << std::flush;
    bStatusShown = false;
}

void printInfo(const std::string& sMessage) {
    if (bQuiet)
        return;
    clearStatusLine();
    std::cout << "** " << sMessage << std::endl;
}

void printPlain(const std::string& sMessage) {
    if (bQuiet)
        return;
    clearStatusLine();
    std::cout << sMessage << std::endl;
}

void fatal(const std::string& sMessage) {
    clearStatusLine();
    std::cerr << "Fatal: " << sMessage << std::endl;
    std::exit(EXIT_FAILURE);
}
