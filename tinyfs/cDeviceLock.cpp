// Locking the device node and the device's lock file.
//
// Any account that may open the node can take a lock on it, so the one root's runs wait
// for there is a record lock (fcntl) that only a descriptor open for writing can block:
// root asks for a read lock, which only a write lock conflicts with, and a write lock
// needs write access. Root's runs exclude one another through lock files in a directory
// of root's that no other account may write or enter, so no other account can make,
// replace, hold or move one: a directory or file there that is not root's alone, or a
// parent in which another account could rename the directory, is refused, never passed
// over. A run of another account, and one on a system without /run (an initramfs), locks
// the node alone: a write lock to change the flash, a read lock to read it. A lock file
// is removed by the last run that used it, under an exclusive lock and only while its
// name still stands for it; a run that locked a file removed meanwhile opens it anew.
#include "tinyfs/cDeviceLock.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

#include "tinyfs/deviceIdentity.h"
#include "tinyfs/fileKind.h"
#include "tinyfs/retry.h"

namespace {

// How many times a run tries the device's locks, a pause apart (tinyfs/retry.h): 3 s.
constexpr int LOCK_TRIES = 60;

constexpr uid_t ROOT = 0;
// Permissions as ls -n and chmod write them: four octal digits.
constexpr char MODE_FORMAT[] = "%04o";
constexpr char MODE_FORMAT_WIDEST[] = "07777";
constexpr mode_t OTHERS_WRITE = S_IWGRP | S_IWOTH;
constexpr mode_t OTHERS_OPEN = S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
constexpr char LOCK_PARENT[] = "/run";
constexpr int LOCK_PARENT_FLAGS = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr char LOCK_DIRECTORY_NAME[] = "brellix";
constexpr mode_t LOCK_DIRECTORY_MODE = 0700;
constexpr int LOCK_DIRECTORY_FLAGS = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr char LOCK_FILE_PREFIX[] = "brellix-";
constexpr char LOCK_FILE_SUFFIX[] = ".lock";
constexpr mode_t LOCK_FILE_MODE = 0600;
// The node's record lock covers its first byte, whatever the device holds there.
constexpr off_t NODE_LOCK_LENGTH = 1;
// Never follows a link, never waits on a FIFO.
constexpr int LOCK_FILE_FLAGS = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Takes a lock with fTry (true when taken), trying again while another run holds it and
// iTries lasts: 0, or the errno of the last try (EWOULDBLOCK when the tries ran out).
template <typename tTry>
int lockWaiting(tTry fTry, int& iTries) {
    int iError = 0;
    const bool bDone = retryPaused(
        [&] {
            // A record lock that another holds fails with EACCES or EAGAIN.
            iError = fTry() ? 0 : errno == EINTR || errno == EACCES ? EWOULDBLOCK : errno;
            return iError != EWOULDBLOCK;
        },
        iTries);
    return bDone ? iError : EWOULDBLOCK;
}

// What a refused file is, its permissions and its owner ("a directory, mode 1777, owner
// uid 0"): what an operator needs to see why.
std::string describe(const struct stat& oFile) {
    char sMode[sizeof MODE_FORMAT_WIDEST];
    std::snprintf(sMode, sizeof sMode, MODE_FORMAT, unsigned(oFile.st_mode & PERMISSION_BITS));
    return std::string(fileKind(oFile.st_mode)) + ", mode " + sMode + ", owner uid " +
           std::to_string(oFile.st_uid);
}

// Whether sName in the directory iDirectory still names the file open as iFd.
bool namesFile(int iDirectory, const std::string& sName, int iFd) {
    struct stat oNamed, oOpen;
    return ::fstatat(iDirectory, sName.c_str(), &oNamed, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(iFd, &oOpen) == 0 && oNamed.st_dev == oOpen.st_dev && oNamed.st_ino == oOpen.st_ino;
}

} // namespace

cDeviceLock::cDeviceLock(int iNodeFd, const struct stat& oNode, const std::string& sPath, tLock iLock)
    : iNode(iNodeFd) {
    int iTries = LOCK_TRIES;
    const bool bLockFile = openDirectory(sPath);
    int iError = lockNode(bLockFile || iLock == LOCK_SHARED ? F_RDLCK : F_WRLCK, iTries);
    try {
        if (iError == 0 && bLockFile)
            iError = lockFile(LOCK_FILE_PREFIX + identityName(oNode) + LOCK_FILE_SUFFIX,
                              iLock == LOCK_EXCLUSIVE ? LOCK_EX : LOCK_SH, iTries);
        if (iError != 0)
            throw(iError == EWOULDBLOCK ? "device is locked by another process ("
                                        : "unable to lock device (") +
                sPath + ")";
    } catch (...) {
        // The node stays open after a failed lock (the run's one descriptor of the device).
        int iOnce = 1;
        lockNode(F_UNLCK, iOnce);
        throw;
    }
}

cDeviceLock::~cDeviceLock() {
    if (oFile.iFd >= 0 && ::flock(oFile.iFd, LOCK_EX | LOCK_NB) == 0 &&
        namesFile(oDirectory.iFd, sFileName, oFile.iFd))
        ::unlinkat(oDirectory.iFd, sFileName.c_str(), 0);
    int iOnce = 1;
    lockNode(F_UNLCK, iOnce);
}

int cDeviceLock::lockNode(short iType, int& iTries) {
    struct flock oRange = {};
    oRange.l_type = iType;
    oRange.l_whence = SEEK_SET;
    oRange.l_len = NODE_LOCK_LENGTH;
    // Held by the open file, not the process: its copies share it, and nothing else of
    // the process that closes another descriptor of the device lets go of it.
    return lockWaiting([&] { return ::fcntl(iNode, F_OFD_SETLK, &oRange) == 0; }, iTries);
}

bool cDeviceLock::openDirectory(const std::string& sPath) {
    // Another account could neither make a lock file nor be let hold one: its runs lock
    // the node they use.
    if (::geteuid() != ROOT)
        return false;
    const std::string sDirectory = std::string(LOCK_PARENT) + "/" + LOCK_DIRECTORY_NAME;
    const cDescriptor oParent(::open(LOCK_PARENT, LOCK_PARENT_FLAGS));
    struct stat oFound;
    if (oParent.iFd < 0 && errno == ENOENT)
        return false; // no /run
    if (oParent.iFd < 0 || ::fstat(oParent.iFd, &oFound) != 0)
        throw "unable to lock device (" + sPath + ")";
    // Whoever may write the parent may rename the lock directory away while a run holds a
    // lock file in it, and the next run would make another: only root may, or others
    // under the sticky bit, which keeps each name to its owner.
    if (oFound.st_uid != ROOT || ((oFound.st_mode & OTHERS_WRITE) != 0 && (oFound.st_mode & S_ISVTX) == 0))
        throw std::string("untrusted lock directory ") + LOCK_PARENT + " (" + describe(oFound) + ")";
    oDirectory.iFd = ::openat(oParent.iFd, LOCK_DIRECTORY_NAME, LOCK_DIRECTORY_FLAGS);
    if (oDirectory.iFd < 0 && errno == ENOENT) {
        if (::mkdirat(oParent.iFd, LOCK_DIRECTORY_NAME, LOCK_DIRECTORY_MODE) != 0 && errno != EEXIST) {
            if (errno == ENOENT || errno == EROFS || errno == EACCES || errno == EPERM)
                return false; // none this run may make
            throw "unable to lock device (" + sPath + ")";
        }
        oDirectory.iFd = ::openat(oParent.iFd, LOCK_DIRECTORY_NAME, LOCK_DIRECTORY_FLAGS);
    }
    // What is there is looked at as it is, a link too, before it is used or refused.
    const bool bOpen = oDirectory.iFd >= 0;
    if (bOpen ? ::fstat(oDirectory.iFd, &oFound) != 0
              : ::fstatat(oParent.iFd, LOCK_DIRECTORY_NAME, &oFound, AT_SYMLINK_NOFOLLOW) != 0)
        throw "unable to lock device (" + sPath + ")";
    if (!S_ISDIR(oFound.st_mode) || oFound.st_uid != ROOT || (oFound.st_mode & OTHERS_WRITE) != 0)
        throw "untrusted lock directory " + sDirectory + " (" + describe(oFound) + ")";
    if (!bOpen)
        throw "unable to lock device (" + sPath + ")";
    return true;
}

int cDeviceLock::lockFile(const std::string& sName, int iOperation, int& iTries) {
    const std::string sUnusable =
        std::string("unusable lock file ") + LOCK_PARENT + "/" + LOCK_DIRECTORY_NAME + "/" + sName + " (";
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
        // A lock file that others may open, they may hold.
        if (oCandidate.iFd < 0 || !S_ISREG(oFound.st_mode) || oFound.st_uid != ROOT ||
            (oFound.st_mode & OTHERS_OPEN) != 0)
            throw sUnusable + describe(oFound) + ")";
        const int iError =
            lockWaiting([&] { return ::flock(oCandidate.iFd, iOperation | LOCK_NB) == 0; }, iTries);
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
