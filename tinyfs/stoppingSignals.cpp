// The signals that end a run from outside, their names, and taking them once held.
#include "tinyfs/stoppingSignals.h"

#include <ctime>

namespace {

struct cNamedSignal {
    int iSignal;
    const char* sName;
};
constexpr cNamedSignal NAMED_SIGNALS[] = {
    {SIGHUP, "SIGHUP"},       {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"},     {SIGPIPE, "SIGPIPE"},
    {SIGALRM, "SIGALRM"},     {SIGTERM, "SIGTERM"}, {SIGUSR1, "SIGUSR1"},     {SIGUSR2, "SIGUSR2"},
    {SIGIO, "SIGIO"},         {SIGPROF, "SIGPROF"}, {SIGVTALRM, "SIGVTALRM"}, {SIGXCPU, "SIGXCPU"},
    {SIGPWR, "SIGPWR"},
#ifdef SIGSTKFLT
    {SIGSTKFLT, "SIGSTKFLT"},
#endif
};

// The C library keeps the signals below SIGRTMIN for itself; SIGRTMIN is known at run time only.
bool isRealTime(int iSignal) {
    return iSignal >= SIGRTMIN && iSignal <= SIGRTMAX;
}

bool inSet(int iSignal) {
    for (const cNamedSignal& oSignal : NAMED_SIGNALS) {
        if (oSignal.iSignal == iSignal)
            return true;
    }
    return isRealTime(iSignal);
}

bool endsRun(int iSignal) {
    struct sigaction oAction;
    return inSet(iSignal) && sigaction(iSignal, nullptr, &oAction) == 0 && oAction.sa_handler != SIG_IGN;
}

} // namespace

void ignoreFileSizeSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

sigset_t stoppingSignals() {
    sigset_t oSet;
    sigemptyset(&oSet);
    for (int iSignal = 1; iSignal < NSIG; ++iSignal) {
        if (endsRun(iSignal))
            sigaddset(&oSet, iSignal);
    }
    return oSet;
}

int takePendingSignal(const sigset_t& oSet) {
    const timespec oNoWait = {0, 0};
    int iFirst = 0;
    for (int iSignal; (iSignal = sigtimedwait(&oSet, nullptr, &oNoWait)) > 0;) {
        if (iFirst == 0)
            iFirst = iSignal;
    }
    return iFirst;
}

int pendingStopSignal() {
    // Dispositions are asked only of the signals that are pending, seldom any.
    sigset_t oPending;
    if (sigpending(&oPending) != 0)
        return 0;
    for (int iSignal = 1; iSignal < NSIG; ++iSignal) {
        if (sigismember(&oPending, iSignal) == 1 && endsRun(iSignal))
            return iSignal;
    }
    return 0;
}

std::string signalName(int iSignal) {
    for (const cNamedSignal& oSignal : NAMED_SIGNALS) {
        if (oSignal.iSignal == iSignal)
            return oSignal.sName;
    }
    // Real-time signals count from the nearer end of their range.
    const int iAboveMin = iSignal - SIGRTMIN;
    const int iBelowMax = SIGRTMAX - iSignal;
    if (iAboveMin <= iBelowMax)
        return "SIGRTMIN" + (iAboveMin == 0 ? std::string() : "+" + std::to_string(iAboveMin));
    return "SIGRTMAX" + (iBelowMax == 0 ? std::string() : "-" + std::to_string(iBelowMax));
}
