// A one-line progress indicator for long transfers, for people at a terminal.
//
// It appears only when standard error is a terminal and the quiet switch is off, only
// after the work has run for a while, is redrawn at a bounded rate, and is erased when
// the work ends and before any other line is printed. Scripts and pipes never see it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tinyfs/cTinyFsFile.h"

class cProgress {
  public:
    cProgress(const std::string& sName, uint64_t iTotal);
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
    bool bEnabled;
    tClock::time_point oStart;
    tClock::time_point oLastDrawn;
    bool bDrawn = false;
};
