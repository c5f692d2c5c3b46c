// Holding the signals that end a run from outside (SIGINT: Ctrl-C; SIGQUIT: Ctrl-\;
// SIGTERM: timeout, a stopped service; SIGHUP: a closed terminal; the rest of
// stoppingSignals.h) while a command programs the device, so that none of them stops it
// between the contents and the table.
//
// The hold starts just before the device's first write call and lasts until release;
// a signal that arrived meanwhile is taken then, and the run ends saying so. Signals the
// process ignores are left alone: they are no request to stop.
#pragma once

#include <csignal>
#include <string>

#include "tinyfs/cMtdDevice.h"

class cSignalHold {
  public:
    // Holds nothing yet; sCommand names the command in the report ("--write").
    cSignalHold(cMtdDevice& oDevice, const std::string& sCommand);
    // On a failure of the command: takes a signal that arrived, so that the command's own
    // failure is reported, and lets the signals through again.
    ~cSignalHold();

    cSignalHold(const cSignalHold&) = delete;
    cSignalHold& operator=(const cSignalHold&) = delete;

    // Ends the hold once the command has completed; throws "interrupted by SIGNAL: COMMAND
    // was finished first, the image is consistent" when a held signal arrived.
    void release();

  private:
    void hold();
    // Takes every held signal that is pending; returns the first, or 0.
    int take();

    cMtdDevice& oDevice;
    std::string sCommand;
    bool bHolding = false;
    sigset_t oHeld = {};
    sigset_t oPrevious = {};
};

// Whether a held signal waits: the work under way is being finished.
bool interruptPending();
