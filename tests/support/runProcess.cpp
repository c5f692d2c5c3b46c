// Process runner for end-to-end tests: fork, exec, collect both output streams.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/cRunResult.h"

extern char** environ;

namespace {

void closePipe(int* pFds) {
    for (int i = 0; i < 2; ++i)
        if (pFds[i] >= 0)
            ::close(pFds[i]);
}

} // namespace

cRunResult runProcess(const std::vector<std::string>& lArgs, const std::string& sStdin,
                      const std::vector<std::string>& lEnv) {
    int aIn[2], aOut[2], aErr[2];
    if (::pipe(aIn) != 0 || ::pipe(aOut) != 0 || ::pipe(aErr) != 0)
        throw std::runtime_error("pipe failed");

    std::vector<std::string> lEnvironment;
    for (char** p = environ; *p; ++p)
        lEnvironment.emplace_back(*p);
    lEnvironment.insert(lEnvironment.end(), lEnv.begin(), lEnv.end());
    std::vector<char*> lArgv, lEnvp;
    for (const std::string& s : lArgs)
        lArgv.push_back(const_cast<char*>(s.c_str()));
    lArgv.push_back(nullptr);
    for (const std::string& s : lEnvironment)
        lEnvp.push_back(const_cast<char*>(s.c_str()));
    lEnvp.push_back(nullptr);

    const pid_t iPid = ::fork();
    if (iPid < 0)
        throw std::runtime_error("fork failed");
    if (iPid == 0) {
        ::dup2(aIn[0], STDIN_FILENO);
        ::dup2(aOut[1], STDOUT_FILENO);
        ::dup2(aErr[1], STDERR_FILENO);
        closePipe(aIn);
        closePipe(aOut);
        closePipe(aErr);
        ::execve(lArgv[0], lArgv.data(), lEnvp.data());
        ::_exit(127);
    }
    ::close(aIn[0]);
    ::close(aOut[1]);
    ::close(aErr[1]);

    // Feed standard input and drain both outputs together, so no pipe fills up.
    cRunResult oResult;
    size_t iFed = 0;
    int iInFd = aIn[1];
    ::signal(SIGPIPE, SIG_IGN);
    if (sStdin.empty()) {
        ::close(iInFd);
        iInFd = -1;
    }
    int iOpen = 2;
    while (iOpen > 0 || iInFd >= 0) {
        pollfd aPoll[3] = {{aOut[0], POLLIN, 0}, {aErr[0], POLLIN, 0}, {iInFd, POLLOUT, 0}};
        if (::poll(aPoll, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (aPoll[i].fd < 0 || !(aPoll[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char aBuffer[65536];
            const ssize_t iGot = ::read(aPoll[i].fd, aBuffer, sizeof aBuffer);
            if (iGot > 0) {
                (i == 0 ? oResult.sOut : oResult.sErr).append(aBuffer, size_t(iGot));
            } else {
                ::close(aPoll[i].fd);
                (i == 0 ? aOut[0] : aErr[0]) = -1;
                --iOpen;
            }
        }
        if (iInFd >= 0 && (aPoll[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t iPut = ::write(iInFd, sStdin.data() + iFed, sStdin.size() - iFed);
            if (iPut > 0)
                iFed += size_t(iPut);
            if (iPut <= 0 || iFed == sStdin.size()) {
                ::close(iInFd);
                iInFd = -1;
            }
        }
    }
    int iWait = 0;
    ::waitpid(iPid, &iWait, 0);
    oResult.iStatus = WIFEXITED(iWait) ? WEXITSTATUS(iWait) : 128 + WTERMSIG(iWait);
    return oResult;
}

cRunResult runBrellix(const std::vector<std::string>& lArgs, const std::vector<std::string>& lEnv) {
    // BRELLIX_TEST_WRAPPER runs the tool under a checker such as valgrind; its words
    // are separated by spaces, the first is an absolute path.
    std::vector<std::string> lAll;
    if (const char* sWrapper = std::getenv("BRELLIX_TEST_WRAPPER")) {
        std::istringstream oWords(sWrapper);
        for (std::string sWord; oWords >> sWord;)
            lAll.push_back(sWord);
    }
    lAll.push_back(brellixPath());
    lAll.insert(lAll.end(), lArgs.begin(), lArgs.end());
    return runProcess(lAll, "", lEnv);
}

std::string brellixPath() {
    return BRELLIX_BIN;
}
std::string mktinyfsPath() {
    return MKTINYFS_BIN;
}
std::string interposeLibPath() {
    return INTERPOSE_LIB;
}

cTempDir::cTempDir() {
    const char* sBase = std::getenv("TMPDIR");
    std::string sTemplate = std::string(sBase && *sBase ? sBase : "/tmp") + "/brellix-test-XXXXXX";
    if (::mkdtemp(sTemplate.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    sPath = sTemplate;
}

cTempDir::~cTempDir() {
    // Restore permissions a test may have taken away, then remove everything.
    const std::string sCommand = "chmod -R u+rwx '" + sPath + "' 2>/dev/null; rm -rf '" + sPath + "'";
    if (std::system(sCommand.c_str()) != 0) {
    }
}

std::vector<unsigned char> readBytes(const std::string& sPath) {
    // One read of the whole file: images are compared after nearly every run, and a
    // byte-wise reader is slow under the sanitizers.
    std::ifstream oIn(sPath, std::ios::binary | std::ios::ate);
    if (!oIn)
        throw std::runtime_error("cannot read " + sPath);
    std::vector<unsigned char> lBytes(size_t(oIn.tellg()));
    oIn.seekg(0);
    oIn.read(reinterpret_cast<char*>(lBytes.data()), std::streamsize(lBytes.size()));
    if (!oIn)
        throw std::runtime_error("cannot read " + sPath);
    return lBytes;
}

void writeBytes(const std::string& sPath, const std::vector<unsigned char>& lBytes) {
    std::ofstream oOut(sPath, std::ios::binary | std::ios::trunc);
    oOut.write(reinterpret_cast<const char*>(lBytes.data()), std::streamsize(lBytes.size()));
    if (!oOut)
        throw std::runtime_error("cannot write " + sPath);
}

bool fileExists(const std::string& sPath) {
    struct stat oStat;
    return ::lstat(sPath.c_str(), &oStat) == 0;
}
