// The help screen: a title, then one line per declared entry in three columns whose
// widths follow from the entries themselves, headings set off by empty lines.
#include "cmdline/cCmdLine.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t MIN_COLUMN_WIDTH = 1;
constexpr size_t COLUMN_GAP = 2;

// Puts the continuation indent after every line break, so that each continuation line
// starts in the help column.
std::string indentContinuations(std::string sText, const std::string& sIndent) {
    for (size_t iPos = sText.find('\n'); iPos != std::string::npos; iPos = sText.find('\n', iPos + 1)) {
        sText.insert(iPos + 1, sIndent);
        iPos += sIndent.size();
    }
    return sText;
}

// Each line of the screen is flushed as it is printed.
void printLine(const std::string& sLine) {
    std::fwrite(sLine.data(), 1, sLine.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void cCmdLine::printHelp() const {
    printLine("Help Screen");
    printLine("");

    size_t iWidth1 = MIN_COLUMN_WIDTH, iWidth2 = MIN_COLUMN_WIDTH;
    for (const auto& pParameter : lParameters) {
        iWidth1 = std::max(iWidth1, pParameter->getShortColumn().size());
        iWidth2 = std::max(iWidth2, pParameter->getLongColumn().size());
    }
    const std::string sIndent(iWidth1 + iWidth2 + 2 * COLUMN_GAP, ' ');

    for (const auto& pParameter : lParameters) {
        const std::string sShort = pParameter->getShortColumn();
        const std::string sLong = pParameter->getLongColumn();
        const bool bHeading = pParameter->getKind() == KIND_SEPARATOR;
        if (bHeading)
            printLine("");
        printLine(sShort + std::string(iWidth1 - sShort.size() + COLUMN_GAP, ' ') + sLong +
                  std::string(iWidth2 - sLong.size() + COLUMN_GAP, ' ') +
                  indentContinuations(pParameter->getHelpText(), sIndent));
        if (bHeading)
            printLine("");
    }
    printLine("");
}
