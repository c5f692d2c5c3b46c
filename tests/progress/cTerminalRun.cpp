// Pseudo-terminal runs of the tool and a minimal terminal model to judge their output.
#include "tests/progress/cTerminalRun.h"

#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr char ESCAPE = '\033';
constexpr char FIRST_PRINTABLE = ' ';
constexpr char DELETE = '\177';
constexpr size_t READ_BUFFER = 65536;

// Owns one descriptor.
class cFd {
  public:
    explicit cFd(int iFd = -1) : iFd(iFd) {}
    ~cFd() { reset(); }
    cFd(const cFd&) = delete;
    cFd& operator=(const cFd&) = delete;
    int get() const { return iFd; }
    void reset(int iNew = -1) {
        if (iFd >= 0)
            ::close(iFd);
        iFd = iNew;
    }

  private:
    int iFd;
};

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& lEnv) {
    std::vector<std::string> lAll;
    for (char** p = environ; *p; ++p)
        lAll.emplace_back(*p);
    for (const std::string& sEntry : lEnv) {
        const std::string sName = sEntry.substr(0, sEntry.find('=') + 1);
        bool bReplaced = false;
        for (std::string& sOld : lAll)
            if (sOld.compare(0, sName.size(), sName) == 0) {
                sOld = sEntry;
                bReplaced = true;
            }
        if (!bReplaced)
            lAll.push_back(sEntry);
    }
    return lAll;
}

std::vector<char*> pointers(std::vector<std::string>& lTexts) {
    std::vector<char*> lPointers;
    for (std::string& s : lTexts)
        lPointers.push_back(s.data());
    lPointers.push_back(nullptr);
    return lPointers;
}

// Appends what is readable on the descriptor; false once it has nothing more to give.
// A terminal's master side answers EIO when the last holder of the other side is gone.
bool drain(int iFd, std::string& sInto) {
    char aBuffer[READ_BUFFER];
    for (;;) {
        const ssize_t iGot = ::read(iFd, aBuffer, sizeof aBuffer);
        if (iGot > 0) {
            sInto.append(aBuffer, size_t(iGot));
            return true;
        }
        if (iGot < 0 && errno == EINTR)
            continue;
        return false;
    }
}

} // namespace

cTerminalRun runOnTerminal(const std::vector<std::string>& lArgs, const std::vector<std::string>& lEnv,
                           bool bStdoutOnTerminal) {
    std::vector<std::string> lArgTexts = lArgs;
    std::vector<std::string> lEnvTexts = mergedEnvironment(lEnv);
    std::vector<char*> lArgv = pointers(lArgTexts);
    std::vector<char*> lEnvp = pointers(lEnvTexts);

    int aOut[2] = {-1, -1};
    if (!bStdoutOnTerminal && ::pipe(aOut) != 0)
        throw std::runtime_error("pipe failed");
    cFd oOutRead(aOut[0]), oOutWrite(aOut[1]);

    termios oMode;
    ::cfmakeraw(&oMode);
    int iMaster = -1;
    const pid_t iPid = ::forkpty(&iMaster, nullptr, &oMode, nullptr);
    if (iPid < 0)
        throw std::runtime_error("forkpty failed");
    if (iPid == 0) {
        if (!bStdoutOnTerminal) {
            ::dup2(oOutWrite.get(), STDOUT_FILENO);
            oOutRead.reset();
            oOutWrite.reset();
        }
        ::execve(lArgv[0], lArgv.data(), lEnvp.data());
        ::_exit(127);
    }
    cFd oMaster(iMaster);
    oOutWrite.reset();

    // Both sides are drained together so neither can fill up and stall the tool.
    cTerminalRun oRun;
    bool bTerminalOpen = true, bOutOpen = oOutRead.get() >= 0;
    while (bTerminalOpen || bOutOpen) {
        pollfd aPoll[2] = {{bTerminalOpen ? oMaster.get() : -1, POLLIN, 0},
                           {bOutOpen ? oOutRead.get() : -1, POLLIN, 0}};
        if (::poll(aPoll, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll failed");
        }
        if (aPoll[0].revents != 0)
            bTerminalOpen = drain(oMaster.get(), oRun.sTerminal);
        if (aPoll[1].revents != 0)
            bOutOpen = drain(oOutRead.get(), oRun.sOut);
    }
    int iWait = 0;
    ::waitpid(iPid, &iWait, 0);
    oRun.iStatus = WIFEXITED(iWait) ? WEXITSTATUS(iWait) : 128 + WTERMSIG(iWait);
    return oRun;
}

cScreen renderScreen(const std::string& sBytes) {
    cScreen oScreen;
    std::string sLine;
    size_t iColumn = 0;
    for (size_t i = 0; i < sBytes.size(); ++i) {
        const char c = sBytes[i];
        if (c == '\r') {
            iColumn = 0;
        } else if (c == '\n') {
            oScreen.lLines.push_back(sLine);
            sLine.clear();
            iColumn = 0;
        } else if (c == ESCAPE) {
            if (sBytes.compare(i + 1, 2, "[K") != 0) {
                oScreen.bUnexpected = true;
                continue;
            }
            sLine.resize(iColumn);
            i += 2;
        } else if ((unsigned char)c < (unsigned char)FIRST_PRINTABLE || c == DELETE) {
            oScreen.bUnexpected = true;
        } else {
            if (iColumn < sLine.size())
                sLine[iColumn] = c;
            else
                sLine.append(iColumn - sLine.size(), ' ').push_back(c);
            ++iColumn;
        }
    }
    oScreen.lLines.push_back(sLine);
    return oScreen;
}
