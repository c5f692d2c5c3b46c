// The signals that end a run from outside, one set for both programs: those held while
// the device is programmed or an image is put in place, and those on which mktinyfs
// removes a named temporary file first. They are the signals whose default action ends
// the process: SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2,
// SIGIO, SIGPROF, SIGVTALRM, SIGXCPU, SIGPWR, SIGSTKFLT and the real-time signals.
// Left out are those that report the process's own fault (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT, SIGSYS, SIGTRAP), which must end it where it is, the two no process
// can catch (SIGKILL, SIGSTOP), and SIGXFSZ, which both programs ignore.
// SIGPIPE is in the set as kill sends it like any other; brellix ignores it from the
// start, so that a write to a closed pipe fails at once instead of waiting as a held
// signal, and a signal the process ignores is never held.
#pragma once

#include <csignal>
#include <string>

// Ignores SIGXFSZ: a write past the file-size limit (ulimit -f) then fails with EFBIG and
// is reported as any failed write, instead of ending the process with a cut file.
void ignoreFileSizeSignal();

// The signals of the set that this process does not ignore (nohup, a shell's background
// job): an ignored signal that is held would stay pending and be taken for a request to
// stop.
sigset_t stoppingSignals();

// Takes every signal of oSet that is pending (they are blocked); returns the first, or 0.
int takePendingSignal(const sigset_t& oSet);

// The first pending signal of the set that the process does not ignore, or 0.
int pendingStopSignal();

// "SIGTERM", "SIGRTMIN+3", as kill -l names them.
std::string signalName(int iSignal);
