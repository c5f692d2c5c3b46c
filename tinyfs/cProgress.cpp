// Progress indicator: its timing and its text.
#include "tinyfs/cProgress.h"

#include <unistd.h>
#include <utility>

#include "tinyfs/cSignalHold.h"
#include "tinyfs/hexText.h"

namespace {
constexpr std::chrono::milliseconds SHOW_AFTER(500);
constexpr std::chrono::milliseconds REDRAW_EVERY(100);
constexpr char INTERRUPTED[] = ", interrupted: finishing the write";
} // namespace

bool errorIsTerminal() {
    static const bool bTerminal = ::isatty(STDERR_FILENO) == 1;
    return bTerminal;
}

// A name read from an image draws no control bytes into the line.
cProgress::cProgress(const std::string& sName, uint64_t iTotal, cStatusLine oLine)
    : sName(shownName(sName)), iTotal(iTotal), oLine(std::move(oLine)), oStart(tClock::now()) {}

cProgress::~cProgress() {
    if (bDrawn)
        oLine.fClear();
}

void cProgress::update(uint64_t iDone) {
    if (!oLine.fShow)
        return;
    const tClock::time_point oNow = tClock::now();
    if (oNow - oStart < SHOW_AFTER || (bDrawn && oNow - oLastDrawn < REDRAW_EVERY))
        return;
    const uint64_t iPercent = iTotal == 0 ? PERCENT : iDone * PERCENT / iTotal;
    // A signal held meanwhile ends the run once the work is done: the line says why it
    // goes on.
    oLine.fShow(sName + ": " + std::to_string(iDone) + " of " + std::to_string(iTotal) + " bytes (" +
                std::to_string(iPercent) + "%)" + (interruptPending() ? INTERRUPTED : ""));
    oLastDrawn = oNow;
    bDrawn = true;
}
