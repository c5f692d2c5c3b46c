// Locking the device node and the device's lock file.
//
// Only device nodes need the lock file: every name of an image file reaches its one
// inode. The lock file lives in the first of the system's lock directories that can hold it; a
// system where none can (an initramfs without /run, /var or /tmp) locks the node alone.
// It is removed by the last run that used it, under an exclusive lock and only while its
// name still stands for it; a run that locked a file removed meanwhile opens it anew.
#include "tinyfs/cDeviceLock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "tinyfs/deviceIdentity.h"

namespace {

// How long a run waits for the device, and how often it tries.
constexpr int LOCK_TRIES = 60;
constexpr long LOCK_RETRY_NS = 50 * 1000 * 1000;

const char* const LOCK_DIRECTORIES[] = {"/run/lock", "/var/lock", "/tmp"};
constexpr char LOCK_FILE_PREFIX[] = "/brellix-";
constexpr char LOCK_FILE_SUFFIX[] = ".lock";
// Readable by every user, since any user who may open the device must be able to lock it.
constexpr mode_t LOCK_FILE_MODE = 0644;
// Never follows a link, never waits on a FIFO planted under the name.
constexpr int LOCK_FILE_FLAGS = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Takes the lock, trying again while another run holds it and iTries lasts: 0, or the
// errno of the last try (EWOULDBLOCK when the tries ran out).
int lockWaiting(int iFd, int iOperation, int& iTries) {
    while (::flock(iFd, iOperation | LOCK_NB) != 0) {
        const int iError = errno == EINTR ? EWOULDBLOCK : errno;
        if (iError != EWOULDBLOCK || --iTries <= 0)
            return iError;
        const timespec oPause = {0, LOCK_RETRY_NS};
        ::nanosleep(&oPause, nullptr);
    }
    return 0;
}

// The lock file, made when missing; -1 when it cannot be had as a regular file. An
// existing file is opened without O_CREAT, which a sticky directory may refuse for files
// of other users.
int openLockFile(const std::string& sPath) {
    int iFd = ::open(sPath.c_str(), LOCK_FILE_FLAGS);
    if (iFd < 0 && errno == ENOENT) {
        iFd = ::open(sPath.c_str(), LOCK_FILE_FLAGS | O_CREAT | O_EXCL, LOCK_FILE_MODE);
        if (iFd >= 0)
            ::fchmod(iFd, LOCK_FILE_MODE); // whatever the umask took away
        else if (errno == EEXIST)
            iFd = ::open(sPath.c_str(), LOCK_FILE_FLAGS);
    }
    struct stat oFile;
    if (iFd >= 0 && (::fstat(iFd, &oFile) != 0 || !S_ISREG(oFile.st_mode))) {
        ::close(iFd);
        iFd = -1;
    }
    return iFd;
}

// Whether sPath still names the file open as iFd.
bool namesFile(const std::string& sPath, int iFd) {
    struct stat oNamed, oOpen;
    return ::stat(sPath.c_str(), &oNamed) == 0 && ::fstat(iFd, &oOpen) == 0 &&
           oNamed.st_dev == oOpen.st_dev && oNamed.st_ino == oOpen.st_ino;
}

} // namespace

cDeviceLock::cDeviceLock(int iNodeFd, const struct stat& oNode, const std::string& sPath, tLock iLock) {
    const int iOperation = iLock == LOCK_EXCLUSIVE ? LOCK_EX : LOCK_SH;
    int iTries = LOCK_TRIES;
    int iError = lockWaiting(iNodeFd, iOperation, iTries);
    if (iError == 0)
        iError = lockIdentity(identityName(oNode), iOperation, iTries);
    if (iError != 0)
        throw(iError == EWOULDBLOCK ? "device is locked by another process (" : "unable to lock device (") +
            sPath + ")";
}

cDeviceLock::~cDeviceLock() {
    if (iFileFd < 0)
        return;
    if (::flock(iFileFd, LOCK_EX | LOCK_NB) == 0 && namesFile(sFilePath, iFileFd))
        ::unlink(sFilePath.c_str());
    ::close(iFileFd);
}

int cDeviceLock::lockIdentity(const std::string& sName, int iOperation, int& iTries) {
    if (sName.empty())
        return 0; // the node's own lock covers every name
    for (const char* sDirectory : LOCK_DIRECTORIES) {
        const std::string sCandidate = sDirectory + (LOCK_FILE_PREFIX + sName + LOCK_FILE_SUFFIX);
        for (int iFd; (iFd = openLockFile(sCandidate)) >= 0;) {
            const int iError = lockWaiting(iFd, iOperation, iTries);
            if (iError == 0 && namesFile(sCandidate, iFd)) {
                iFileFd = iFd;
                sFilePath = sCandidate;
                return 0;
            }
            ::close(iFd);
            if (iError == EWOULDBLOCK)
                return iError;
            if (iError != 0)
                break; // this directory's file system cannot lock: the next directory
            // Locked a file that the run before had just removed: open it anew.
        }
    }
    return 0;
}
