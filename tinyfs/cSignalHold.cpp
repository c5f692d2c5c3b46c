// Blocking, taking and reporting the signals held while the device is programmed.
#include "tinyfs/cSignalHold.h"

#include <ctime>

namespace {

struct cHeldSignal {
    int iSignal;
    const char* sName;
};
constexpr cHeldSignal HELD_SIGNALS[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

// The held signals this process does not ignore (nohup, a shell's background job): an
// ignored signal held would stay pending, and be taken for a request to stop.
sigset_t stoppingSignals() {
    sigset_t oSet;
    sigemptyset(&oSet);
    for (const cHeldSignal& oSignal : HELD_SIGNALS) {
        struct sigaction oAction;
        if (sigaction(oSignal.iSignal, nullptr, &oAction) == 0 && oAction.sa_handler != SIG_IGN)
            sigaddset(&oSet, oSignal.iSignal);
    }
    return oSet;
}

const char* signalName(int iSignal) {
    for (const cHeldSignal& oSignal : HELD_SIGNALS) {
        if (oSignal.iSignal == iSignal)
            return oSignal.sName;
    }
    return "a signal";
}

} // namespace

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
    const timespec oNoWait = {0, 0};
    int iFirst = 0;
    for (int iSignal; (iSignal = sigtimedwait(&oHeld, nullptr, &oNoWait)) > 0;) {
        if (iFirst == 0)
            iFirst = iSignal;
    }
    return iFirst;
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
    sigset_t oPending;
    if (sigpending(&oPending) != 0)
        return false;
    const sigset_t oStopping = stoppingSignals();
    for (const cHeldSignal& oSignal : HELD_SIGNALS) {
        if (sigismember(&oPending, oSignal.iSignal) == 1 && sigismember(&oStopping, oSignal.iSignal) == 1)
            return true;
    }
    return false;
}
