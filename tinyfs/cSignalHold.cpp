// Blocking, taking and reporting the signals held while the device is programmed.
#include "tinyfs/cSignalHold.h"

#include "tinyfs/stoppingSignals.h"

cSignalHold::cSignalHold(cMtdDevice& oDevice, const std::string& sCommand)
    : oDevice(oDevice), sCommand(sCommand) {
    oDevice.setBeforeProgram([this] { hold(); });
}

cSignalHold::~cSignalHold() {
    oDevice.setBeforeProgram({});
    if (bHolding) {
        take();
        sigprocmask(SIG_SETMASK, &oPrevious, nullptr);
    }
}

void cSignalHold::hold() {
    if (bHolding)
        return;
    oHeld = stoppingSignals();
    bHolding = sigprocmask(SIG_BLOCK, &oHeld, &oPrevious) == 0;
}

int cSignalHold::take() {
    // Taken before they are let through again, or they would end the process there.
    return takePendingSignal(oHeld);
}

void cSignalHold::release() {
    oDevice.setBeforeProgram({});
    if (!bHolding)
        return;
    const int iSignal = take();
    sigprocmask(SIG_SETMASK, &oPrevious, nullptr);
    bHolding = false;
    if (iSignal != 0)
        throw std::string("interrupted by ") + signalName(iSignal) + ": " + sCommand +
            " was finished first, the image is consistent";
}

bool interruptPending() {
    return pendingStopSignal() != 0;
}
