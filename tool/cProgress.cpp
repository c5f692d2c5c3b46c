// Progress indicator on standard error.
#include "tool/cProgress.h"

#include <unistd.h>

#include "tinyfs/cSignalHold.h"
#include "tinyfs/hexText.h"
#include "tool/console.h"

namespace {
constexpr std::chrono::milliseconds SHOW_AFTER(500);
constexpr std::chrono::milliseconds REDRAW_EVERY(100);
constexpr char INTERRUPTED[] = ", interrupted: finishing the write";

// Asked once: a check makes an indicator for every file.
bool onTerminal() {
    static const bool bTerminal = ::isatty(STDERR_FILENO) == 1;
    return bTerminal;
}
} // namespace

// A name read from an image draws no control bytes into the line.
cProgress::cProgress(const std::string& sName, uint64_t iTotal)
    : sName(shownName(sName)), iTotal(iTotal), bEnabled(!bQuiet && onTerminal()), oStart(tClock::now()) {}

cProgress::~cProgress() {
    if (bDrawn)
        clearStatusLine();
}

void cProgress::update(uint64_t iDone) {
    if (!bEnabled)
        return;
    const tClock::time_point oNow = tClock::now();
    if (oNow - oStart < SHOW_AFTER || (bDrawn && oNow - oLastDrawn < REDRAW_EVERY))
        return;
    const uint64_t iPercent = iTotal == 0 ? PERCENT : iDone * PERCENT / iTotal;
    // A signal held meanwhile ends the run once the work is done: the line says why it
    // goes on.
    showStatusLine(sName + ": " + std::to_string(iDone) + " of " + std::to_string(iTotal) + " bytes (" +
                   std::to_string(iPercent) + "%)" + (interruptPending() ? INTERRUPTED : ""));
    oLastDrawn = oNow;
    bDrawn = true;
}
