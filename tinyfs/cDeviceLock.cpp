// Locking the device node and the device's lock file.
//
// Only device nodes need the lock file: every name of an image file reaches its one
// inode. Lock files live in a directory of root's that no other account may write or
// enter, so no other account can make, replace or hold one: a directory or file there
// that is not root's alone is refused, never passed over. Only root's runs use them: a
// run of another account, and a system without /run (an initramfs), lock the node alone.
// A lock file is removed by the last run that used it, under an exclusive lock and only
// while its name still stands for it; a run that locked a file removed meanwhile opens it
// anew.
#include "tinyfs/cDeviceLock.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

#include "tinyfs/deviceIdentity.h"

namespace {

// How long a run waits for the device, and how often it tries.
constexpr int LOCK_TRIES = 60;
constexpr long LOCK_RETRY_NS = 50 * 1000 * 1000;

constexpr uid_t ROOT = 0;
constexpr mode_t ALL_PERMISSIONS = 07777;
constexpr char LOCK_DIRECTORY[] = "/run/brellix";
constexpr mode_t LOCK_DIRECTORY_MODE = 0700;
constexpr int LOCK_DIRECTORY_FLAGS = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr char LOCK_FILE_PREFIX[] = "brellix-";
constexpr char LOCK_FILE_SUFFIX[] = ".lock";
constexpr mode_t LOCK_FILE_MODE = 0600;
// Never follows a link, never waits on a FIFO.
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

// What a refused file is, its permissions and its owner ("a directory, mode 1777, owner
// uid 0"): what an operator needs to see why.
std::string describe(const struct stat& oFile) {
    const char* sKind = "a regular file";
    if (S_ISDIR(oFile.st_mode))
        sKind = "a directory";
    else if (S_ISLNK(oFile.st_mode))
        sKind = "a symbolic link";
    else if (S_ISFIFO(oFile.st_mode))
        sKind = "a FIFO";
    else if (S_ISSOCK(oFile.st_mode))
        sKind = "a socket";
    else if (S_ISCHR(oFile.st_mode))
        sKind = "a character device";
    else if (S_ISBLK(oFile.st_mode))
        sKind = "a block device";
    char sMode[sizeof "07777"];
    std::snprintf(sMode, sizeof sMode, "%04o", unsigned(oFile.st_mode & ALL_PERMISSIONS));
    return std::string(sKind) + ", mode " + sMode + ", owner uid " + std::to_string(oFile.st_uid);
}

// Whether sName in the directory iDirectory still names the file open as iFd.
bool namesFile(int iDirectory, const std::string& sName, int iFd) {
    struct stat oNamed, oOpen;
    return ::fstatat(iDirectory, sName.c_str(), &oNamed, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(iFd, &oOpen) == 0 && oNamed.st_dev == oOpen.st_dev && oNamed.st_ino == oOpen.st_ino;
}

} // namespace

cDeviceLock::cDeviceLock(int iNodeFd, const struct stat& oNode, const std::string& sPath, tLock iLock) {
    const int iOperation = iLock == LOCK_EXCLUSIVE ? LOCK_EX : LOCK_SH;
    int iTries = LOCK_TRIES;
    int iError = lockWaiting(iNodeFd, iOperation, iTries);
    const std::string sName = identityName(oNode);
    if (iError == 0 && !sName.empty() && openDirectory(sPath))
        iError = lockFile(LOCK_FILE_PREFIX + sName + LOCK_FILE_SUFFIX, iOperation, iTries);
    if (iError != 0)
        throw(iError == EWOULDBLOCK ? "device is locked by another process (" : "unable to lock device (") +
            sPath + ")";
}

cDeviceLock::~cDeviceLock() {
    if (oFile.iFd >= 0 && ::flock(oFile.iFd, LOCK_EX | LOCK_NB) == 0 &&
        namesFile(oDirectory.iFd, sFileName, oFile.iFd))
        ::unlinkat(oDirectory.iFd, sFileName.c_str(), 0);
}

bool cDeviceLock::openDirectory(const std::string& sPath) {
    // Another account could neither make a lock file nor be let hold one: its runs lock
    // the node they use.
    if (::geteuid() != ROOT)
        return false;
    oDirectory.iFd = ::open(LOCK_DIRECTORY, LOCK_DIRECTORY_FLAGS);
    if (oDirectory.iFd < 0 && errno == ENOENT) {
        if (::mkdir(LOCK_DIRECTORY, LOCK_DIRECTORY_MODE) != 0 && errno != EEXIST) {
            if (errno == ENOENT || errno == EROFS || errno == EACCES || errno == EPERM)
                return false; // no /run, or none this run may change
            throw "unable to lock device (" + sPath + ")";
        }
        oDirectory.iFd = ::open(LOCK_DIRECTORY, LOCK_DIRECTORY_FLAGS);
    }
    // What is there is looked at as it is, a link too, before it is used or refused.
    struct stat oFound;
    const bool bOpen = oDirectory.iFd >= 0;
    if (bOpen ? ::fstat(oDirectory.iFd, &oFound) != 0 : ::lstat(LOCK_DIRECTORY, &oFound) != 0)
        throw "unable to lock device (" + sPath + ")";
    if (!S_ISDIR(oFound.st_mode) || oFound.st_uid != ROOT || (oFound.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        throw std::string("untrusted lock directory ") + LOCK_DIRECTORY + " (" + describe(oFound) + ")";
    if (!bOpen)
        throw "unable to lock device (" + sPath + ")";
    return true;
}

int cDeviceLock::lockFile(const std::string& sName, int iOperation, int& iTries) {
    const std::string sUnusable = std::string("unusable lock file ") + LOCK_DIRECTORY + "/" + sName + " (";
    for (;; --iTries) {
        if (iTries <= 0)
            return EWOULDBLOCK; // other runs kept making and removing it
        cDescriptor oCandidate(::openat(oDirectory.iFd, sName.c_str(), LOCK_FILE_FLAGS));
        if (oCandidate.iFd < 0 && errno == ENOENT) {
            oCandidate.iFd =
                ::openat(oDirectory.iFd, sName.c_str(), LOCK_FILE_FLAGS | O_CREAT | O_EXCL, LOCK_FILE_MODE);
            if (oCandidate.iFd < 0 && errno == EEXIST)
                continue; // another run made it first
            if (oCandidate.iFd < 0)
                return errno; // the directory cannot take it (a full /run)
        }
        // What is there is looked at as it is, a link too, before it is used or refused.
        struct stat oFound;
        if (oCandidate.iFd < 0 ? ::fstatat(oDirectory.iFd, sName.c_str(), &oFound, AT_SYMLINK_NOFOLLOW) != 0
                               : ::fstat(oCandidate.iFd, &oFound) != 0) {
            if (errno == ENOENT)
                continue; // removed by the run before
            return errno;
        }
        if (oCandidate.iFd < 0 || !S_ISREG(oFound.st_mode) || oFound.st_uid != ROOT)
            throw sUnusable + describe(oFound) + ")";
        const int iError = lockWaiting(oCandidate.iFd, iOperation, iTries);
        if (iError == EWOULDBLOCK)
            return iError;
        if (iError != 0)
            throw sUnusable + describe(oFound) + ")";
        if (namesFile(oDirectory.iFd, sName, oCandidate.iFd)) {
            std::swap(oFile.iFd, oCandidate.iFd);
            sFileName = sName;
            return 0;
        }
        // Locked a file that the run before had just removed: open it anew.
    }
}
