// onwrite FILE SIGNAL COMMAND [ARG]...: runs COMMAND and sends it SIGNAL (INT, TERM, HUP or
// STOP) right after its first write to FILE, then ends with COMMAND's exit status as a shell
// gives it (128 + N when signal N ended it). With STOP, the shell command in the environment
// variable ONWRITE_STOPPED runs while COMMAND is stopped, and COMMAND then continues.
//
// The scenario's way to make a signal arrive at one chosen point on every run, on the host
// and in the guests alike: this helper watches FILE with inotify at real-time priority, bound
// to the one processor COMMAND is bound to as well. The kernel raises the event inside
// COMMAND's write call, and the helper, woken at higher priority, runs before COMMAND returns
// from that call: the signal is pending when COMMAND's first write completes, whatever the
// machine's load or speed.
#define _GNU_SOURCE
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

static const int SHELL_SIGNAL_BASE = 128;
static const int USAGE_FAILURE = 125;

static void fail(const char* sWhat) {
    perror(sWhat);
    exit(USAGE_FAILURE);
}

static int parseSignal(const char* sName) {
    static const struct {
        const char* sName;
        int iSignal;
    } aSignals[] = {{"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"STOP", SIGSTOP}};
    for (size_t i = 0; i < sizeof aSignals / sizeof aSignals[0]; i++)
        if (strcmp(sName, aSignals[i].sName) == 0)
            return aSignals[i].iSignal;
    fprintf(stderr, "onwrite: unknown signal %s\n", sName);
    exit(USAGE_FAILURE);
}

// Binds this process, and so COMMAND, to the first processor it may run on.
static void bindToOneProcessor(void) {
    cpu_set_t oAllowed;
    if (sched_getaffinity(0, sizeof oAllowed, &oAllowed) != 0)
        fail("onwrite: sched_getaffinity");
    for (int iCpu = 0; iCpu < CPU_SETSIZE; iCpu++) {
        if (CPU_ISSET(iCpu, &oAllowed)) {
            cpu_set_t oOne;
            CPU_ZERO(&oOne);
            CPU_SET(iCpu, &oOne);
            if (sched_setaffinity(0, sizeof oOne, &oOne) != 0)
                fail("onwrite: sched_setaffinity");
            return;
        }
    }
}

static int shellStatus(int iStatus) {
    if (WIFSIGNALED(iStatus))
        return SHELL_SIGNAL_BASE + WTERMSIG(iStatus);
    return WEXITSTATUS(iStatus);
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: onwrite FILE INT|TERM|HUP|STOP COMMAND [ARG]...\n");
        return USAGE_FAILURE;
    }
    const int iSignal = parseSignal(argv[2]);
    const int iWatch = inotify_init1(IN_CLOEXEC);
    if (iWatch < 0 || inotify_add_watch(iWatch, argv[1], IN_MODIFY) < 0)
        fail("onwrite: inotify");
    bindToOneProcessor();
    // Children start with the normal policy again (SCHED_RESET_ON_FORK).
    struct sched_param oParam = {.sched_priority = 1};
    if (sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &oParam) != 0)
        fail("onwrite: sched_setscheduler");
    const pid_t iChild = fork();
    if (iChild < 0)
        fail("onwrite: fork");
    if (iChild == 0) {
        execvp(argv[3], argv + 3);
        fail(argv[3]);
    }
    const int iChildFd = (int)syscall(SYS_pidfd_open, iChild, 0);
    if (iChildFd < 0)
        fail("onwrite: pidfd_open");
    struct pollfd aWaits[] = {{.fd = iWatch, .events = POLLIN}, {.fd = iChildFd, .events = POLLIN}};
    while (poll(aWaits, 2, -1) < 0) {
    }
    if (aWaits[0].revents & POLLIN) {
        kill(iChild, iSignal);
        if (iSignal == SIGSTOP) {
            int iStopped = 0;
            waitpid(iChild, &iStopped, WUNTRACED);
            struct sched_param oNormal = {.sched_priority = 0};
            sched_setscheduler(0, SCHED_OTHER, &oNormal);
            const char* sWhileStopped = getenv("ONWRITE_STOPPED");
            if (sWhileStopped && system(sWhileStopped) == -1)
                fail("onwrite: system");
            kill(iChild, SIGCONT);
        }
    }
    int iStatus = 0;
    while (waitpid(iChild, &iStatus, 0) < 0) {
    }
    return shellStatus(iStatus);
}
