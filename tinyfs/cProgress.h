// A one-line progress indicator for long transfers, for people at a terminal: when it
// shows, what it says and how often it is redrawn. Where it is drawn is the program's
// console (cStatusLine), so both programs show it the same way.
//
// It appears only where the program gives it a line to draw on (a terminal, and for
// brellix the quiet switch off), only after the work has run for a while, is redrawn at
// a bounded rate, and is erased when the work ends. Scripts and pipes never see it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "tinyfs/cTinyFsFile.h"

// Carriage return, then erase to the end of the line: a terminal shows what it showed
// before the status line was drawn.
constexpr char ERASE_LINE[] = "\r\033[K";

// Whether standard error is a terminal, asked once: a check makes an indicator for every
// file.
bool errorIsTerminal();

// A transient line on a terminal and its erasing; without fShow nothing is drawn.
struct cStatusLine {
    std::function<void(const std::string& sLine)> fShow;
    std::function<void()> fClear;
};

class cProgress {
  public:
    cProgress(const std::string& sName, uint64_t iTotal, cStatusLine oLine);
    ~cProgress();

    cProgress(const cProgress&) = delete;
    cProgress& operator=(const cProgress&) = delete;

    void update(uint64_t iDone);
    // A callback for the storage layer, reporting into this indicator.
    tProgress reporter() {
        return [this](uint32_t iDone) { update(iDone); };
    }

  private:
    using tClock = std::chrono::steady_clock;

    std::string sName;
    uint64_t iTotal;
    cStatusLine oLine;
    tClock::time_point oStart;
    tClock::time_point oLastDrawn;
    bool bDrawn = false;
};
