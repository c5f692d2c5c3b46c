// OUTPUT's resolution and checks, the temporary image beside it, the cleanup of a named
// temporary file on the signals that end a run, and the image's naming as OUTPUT, held
// from those signals.
#include "host/mktinyfs/cImageOutput.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/fatTable.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/fileKind.h"
#include "tinyfs/layout.h"
#include "tinyfs/stoppingSignals.h"

namespace {

constexpr int LINK_HOPS_MAX = 40; // as many as the kernel follows
constexpr size_t LINK_TEXT_MAX = 4096;
constexpr int TEMP_NAME_TRIES = 100;
constexpr size_t TEMP_NAME_BYTES = 512;

// The name of the file behind one of this process's descriptors, as the kernel shows it.
std::string descriptorPath(int iFd) {
    return "/proc/self/fd/" + std::to_string(iFd);
}

std::string directoryOf(const std::string& sPath) {
    const size_t iSlash = sPath.rfind('/');
    return iSlash == std::string::npos ? std::string() : sPath.substr(0, iSlash + 1);
}

// The file a chain of symbolic links from sPath ends at, which need not exist yet. A link
// that cannot be read ends the chain; what is there is checked next.
std::string followLinks(std::string sPath) {
    for (int iHop = 0; iHop < LINK_HOPS_MAX; ++iHop) {
        struct stat oStat {};
        if (::lstat(sPath.c_str(), &oStat) != 0 || !S_ISLNK(oStat.st_mode))
            return sPath;
        std::string sLink(LINK_TEXT_MAX, '\0');
        const ssize_t iLength = ::readlink(sPath.c_str(), sLink.data(), sLink.size());
        if (iLength <= 0 || size_t(iLength) == sLink.size())
            return sPath;
        sLink.resize(size_t(iLength));
        sPath = sLink.front() == '/' ? sLink : directoryOf(sPath) + sLink;
    }
    errno = ELOOP;
    return std::string();
}

// The signals that end a run, blocked for as long as it lives; take() takes those that
// arrived meanwhile, which would end the run once let through.
class cSignalsHeld {
  public:
    cSignalsHeld() : oSet(stoppingSignals()) { ::sigprocmask(SIG_BLOCK, &oSet, &oPrevious); }
    ~cSignalsHeld() { ::sigprocmask(SIG_SETMASK, &oPrevious, nullptr); }
    cSignalsHeld(const cSignalsHeld&) = delete;
    cSignalsHeld& operator=(const cSignalsHeld&) = delete;

    int take() const { return takePendingSignal(oSet); }

  private:
    sigset_t oSet;
    sigset_t oPrevious;
};

// The named temporary file that a signal handler removes: set and cleared only while the
// signals are held, so the handler never sees half of it.
volatile sig_atomic_t iCleanupDirFd = -1;
char aCleanupName[TEMP_NAME_BYTES];
sigset_t oCleanupSignals; // those the run does not ignore: the others stay ignored
struct sigaction aPreviousActions[NSIG];

// GCOVR_EXCL_START: the run ends by the signal here, so gcov never writes its counts
extern "C" void removeAndRaise(int iSignal) {
    if (iCleanupDirFd >= 0)
        ::unlinkat(iCleanupDirFd, aCleanupName, 0);
    ::raise(iSignal); // SA_RESETHAND has put the default action back: the signal ends the run
}
// GCOVR_EXCL_STOP

void armCleanup(int iDirFd, const std::string& sName) {
    std::memcpy(aCleanupName, sName.c_str(), sName.size() + 1);
    iCleanupDirFd = iDirFd;
    oCleanupSignals = stoppingSignals();
    struct sigaction oAction {};
    oAction.sa_handler = removeAndRaise;
    oAction.sa_flags = SA_RESETHAND;
    sigemptyset(&oAction.sa_mask);
    for (int iSignal = 1; iSignal < NSIG; ++iSignal) {
        if (sigismember(&oCleanupSignals, iSignal) == 1)
            ::sigaction(iSignal, &oAction, &aPreviousActions[iSignal]);
    }
}

void disarmCleanup() {
    iCleanupDirFd = -1;
    for (int iSignal = 1; iSignal < NSIG; ++iSignal) {
        if (sigismember(&oCleanupSignals, iSignal) == 1)
            ::sigaction(iSignal, &aPreviousActions[iSignal], nullptr);
    }
}

// The files that the image file open as iFd holds: those of its table when the header
// is valid, and the entry-shaped slots after the table's end that a cut table hides. A
// file of another size holds none.
uint32_t filesHeld(int iFd) {
    struct stat oStat {};
    if (::fstat(iFd, &oStat) != 0)
        return UINT32_MAX; // unknown: as good as files
    if (!S_ISREG(oStat.st_mode) || oStat.st_size != off_t(DEVICE_SIZE))
        return 0;
    std::vector<uint8_t> lFat(FAT_SIZE);
    if (readAll(iFd, lFat.data(), FAT_SIZE, FAT_OFFSET) != ssize_t(FAT_SIZE))
        return UINT32_MAX;
    // Without a valid header, only what looks like an entry counts, wherever it is.
    const cFatTable oTable = readFatTable(lFat.data());
    uint32_t iFiles = uint32_t(oTable.lStrays.size());
    for (const cTableEntry& oEntry : oTable.lEntries)
        iFiles += oTable.bValidHeader || isEntryShaped(lFat.data() + oEntry.iSlot * FAT_SLOT_SIZE);
    return iFiles;
}

mode_t currentUmask() {
    const mode_t iMask = ::umask(0);
    ::umask(iMask);
    return iMask;
}

} // namespace

cImageOutput::cImageOutput(const std::string& sOutput, bool bNoFiles, const cMtdDevice* pSource)
    : sOutput(sOutput), pSource(pSource) {
    // What OUTPUT names now, through every link, before anything is read or made.
    const int iProbe = ::open(sOutput.c_str(), O_PATH | O_CLOEXEC);
    if (iProbe < 0 && errno != ENOENT)
        fail("cannot replace ");
    if (iProbe >= 0) {
        struct stat oStat {};
        const cDescriptor oProbe(iProbe);
        if (::fstat(iProbe, &oStat) != 0) // GCOVR_EXCL_BR_LINE: only a broken C library fails here
            fail("cannot replace ");      // GCOVR_EXCL_LINE
        if (S_ISDIR(oStat.st_mode)) {
            errno = EISDIR;
            fail("cannot replace ");
        }
        if (!S_ISREG(oStat.st_mode))
            throw "OUTPUT " + quoteForMessage(sOutput) + " is " + fileKind(oStat.st_mode) +
                ", not a regular file";
        if (bNoFiles)
            keepFiles(iProbe);
    }
    const std::string sTarget = followLinks(sOutput);
    if (sTarget.empty())
        fail("cannot replace ");
    const std::string sDirectory = directoryOf(sTarget);
    sBase = sTarget.substr(sDirectory.size());
    if (sBase.empty() || sBase == "." || sBase == "..") {
        errno = EISDIR;
        fail("cannot replace ");
    }
    oDir.iFd = ::open(sDirectory.empty() ? "." : sDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (oDir.iFd < 0)
        fail("cannot create a temporary file beside ");
    checkTarget();
    createTemporary();
}

cImageOutput::~cImageOutput() {
    removeTemporary();
}

void cImageOutput::write(uint64_t iAt, const uint8_t* pFrom, size_t iLength) {
    if (!writeAll(oTemp.iFd, pFrom, iLength, int64_t(iAt)))
        fail("cannot write ");
}

void cImageOutput::commit() {
    checkTarget();
    if (bExisting && ::fchown(oTemp.iFd, iUid, iGid) != 0)
        fail("cannot keep the owner of ");
    // After the owner: a change of owner clears set-user-ID and set-group-ID bits.
    if (::fchmod(oTemp.iFd, bExisting ? iMode : NEW_FILE_MODE & ~currentUmask()) != 0 ||
        ::fsync(oTemp.iFd) != 0)
        fail("cannot write ");
    int iSignal = 0;
    {
        // No signal ends the run from here until the image is in place and durable: one
        // that arrives is taken then, and reported.
        const cSignalsHeld oHeld;
        try {
            checkTarget();
            if (!nameAsTarget())
                replaceTarget();
            forgetTemporaryName();
            if (::fsync(oDir.iFd) != 0)
                throw "the new image " + quoteForMessage(sOutput) +
                    " is in place, but its directory cannot be synced: " + std::strerror(errno);
        } catch (...) {
            removeTemporary();
            oHeld.take(); // the failure is reported, not the signal
            throw;
        }
        iSignal = oHeld.take();
    }
    if (iSignal != 0)
        throw "interrupted by " + signalName(iSignal) + ": the new image " + quoteForMessage(sOutput) +
            " was put in place first";
}

bool cImageOutput::nameAsTarget() {
    if (!sTempName.empty() || bExisting)
        return false;
    if (linkUnnamed(sBase))
        return true;
    if (errno != EEXIST)
        fail("cannot replace ");
    return false; // OUTPUT was made meanwhile
}

void cImageOutput::replaceTarget() {
    if (sTempName.empty())
        linkTemporary();
    checkTarget();
    if (::renameat(oDir.iFd, sTempName.c_str(), oDir.iFd, sBase.c_str()) != 0)
        fail("cannot replace ");
}

void cImageOutput::keepFiles(int iProbe) const {
    // The very file that was checked, opened again for reading through its descriptor.
    const cDescriptor oFile(
        ::open(descriptorPath(iProbe).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const uint32_t iFiles = oFile.iFd < 0 ? UINT32_MAX : filesHeld(oFile.iFd);
    if (iFiles == UINT32_MAX)
        fail("cannot read ");
    if (iFiles != 0)
        throw "OUTPUT " + quoteForMessage(sOutput) + " holds an image with " + std::to_string(iFiles) +
            (iFiles == 1 ? " file" : " files") + ", and no FILE is given: it is left as it is (--extract " +
            quoteForMessage(sOutput) + " DIR takes it apart; remove it first for an empty image)";
}

void cImageOutput::fail(const std::string& sWhat) const {
    throw sWhat + quoteForMessage(sOutput) + ": " + std::strerror(errno);
}

void cImageOutput::checkTarget() {
    struct stat oStat {};
    if (::fstatat(oDir.iFd, sBase.c_str(), &oStat, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            fail("cannot replace ");
        bExisting = false;
        return;
    }
    if (S_ISDIR(oStat.st_mode)) {
        errno = EISDIR;
        fail("cannot replace ");
    }
    if (!S_ISREG(oStat.st_mode))
        throw "OUTPUT " + quoteForMessage(sOutput) + " is " + fileKind(oStat.st_mode) +
            ", not a regular file";
    if (pSource && pSource->aliasOf(oStat) == ALIAS_SAME)
        throw "OUTPUT " + quoteForMessage(sOutput) + " is the device itself";
    bExisting = true;
    iMode = oStat.st_mode & PERMISSION_BITS;
    iUid = oStat.st_uid;
    iGid = oStat.st_gid;
}

std::string cImageOutput::temporaryName(int iTry) const {
    return sBase + "." + std::to_string(::getpid()) + "-" + std::to_string(iTry) + ".tmp";
}

void cImageOutput::createTemporary() {
    oTemp.iFd = ::openat(oDir.iFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, NEW_FILE_MODE);
    if (oTemp.iFd >= 0)
        return;
    // A file system without unnamed files: a named one, removed again on the signals.
    const cSignalsHeld oHeld;
    for (int iTry = 0; oTemp.iFd < 0 && iTry < TEMP_NAME_TRIES; ++iTry) {
        const std::string sName = temporaryName(iTry);
        // GCOVR_EXCL_START: the handler's buffer; open refused a name past NAME_MAX before
        if (sName.size() >= TEMP_NAME_BYTES) {
            errno = ENAMETOOLONG;
            break;
        }
        // GCOVR_EXCL_STOP
        oTemp.iFd = ::openat(oDir.iFd, sName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, NEW_FILE_MODE);
        if (oTemp.iFd >= 0) {
            sTempName = sName;
            armCleanup(oDir.iFd, sName);
            bCleanupArmed = true;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (oTemp.iFd < 0)
        fail("cannot create a temporary file beside ");
}

bool cImageOutput::linkUnnamed(const std::string& sName) const {
    const std::string sSelf = descriptorPath(oTemp.iFd);
    return ::linkat(AT_FDCWD, sSelf.c_str(), oDir.iFd, sName.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
           (errno == ENOENT && ::linkat(oTemp.iFd, "", oDir.iFd, sName.c_str(), AT_EMPTY_PATH) == 0);
}

void cImageOutput::linkTemporary() {
    for (int iTry = 0; iTry < TEMP_NAME_TRIES; ++iTry) {
        const std::string sName = temporaryName(iTry);
        if (linkUnnamed(sName)) {
            sTempName = sName;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    fail("cannot replace ");
}

void cImageOutput::removeTemporary() {
    if (!sTempName.empty())
        ::unlinkat(oDir.iFd, sTempName.c_str(), 0);
    forgetTemporaryName();
}

void cImageOutput::forgetTemporaryName() {
    if (bCleanupArmed) {
        const cSignalsHeld oHeld;
        disarmCleanup();
        bCleanupArmed = false;
    }
    sTempName.clear();
}
