// The --extract command: plans the extraction, then writes every file only inside the
// folder it opened, by names of its own choosing, never over anything, the manifest last
// and only whole.
#include "host/mktinyfs/extractCommand.h"

// Before <dirent.h>, whose NAME_MAX macro would clash with the layout's constant.
#include "host/mktinyfs/extractionPlan.h"
#include "host/mktinyfs/messageText.h"
#include "host/mktinyfs/openImage.h"
#include "host/mktinyfs/standardOutput.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/hexText.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The folder is the running account's alone until it chooses to share it: its files may be
// a board's secrets, and nobody else may change them before the rebuild.
constexpr mode_t NEW_DIR_MODE = 0700;
constexpr char MANIFEST_NAME[] = "manifest";
// Contents files start with their slot's digits, so no contents file has this name.
constexpr char PARTIAL_SUFFIX[] = ".partial";

// Renames sFrom to sTo in the folder iDir, never over a file someone else put there
// meanwhile; a file system or kernel without that choice gets the plain rename. Through
// the system call itself: the C library of the boards has no wrapper for it.
bool renameNoReplace(int iDir, const char* sFrom, const char* sTo) {
    if (::syscall(SYS_renameat2, iDir, sFrom, iDir, sTo, RENAME_NOREPLACE) == 0)
        return true;
    return (errno == EINVAL || errno == ENOSYS) && ::renameat(iDir, sFrom, iDir, sTo) == 0;
}

// The folder the extraction writes into: created, or found empty; never reached through a
// link, the running account's own and closed to other writers; held open, so every file
// lands in it whatever happens to its path meanwhile.
class cOutputDir {
  public:
    explicit cOutputDir(const std::string& sPath) : sPath(sPath) {
        if (::mkdir(sPath.c_str(), NEW_DIR_MODE) != 0 && errno != EEXIST)
            fail("cannot create ", sPath);
        oDir.iFd = ::open(sPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat oStat;
        // The open refuses a link; looking at the path again only names what it refused.
        if (oDir.iFd < 0 && errno == ENOTDIR && ::lstat(sPath.c_str(), &oStat) == 0 && S_ISLNK(oStat.st_mode))
            throw quoteForMessage(sPath) +
                " is a symbolic link: --extract follows none (give the folder itself)";
        if (oDir.iFd < 0 || ::fstat(oDir.iFd, &oStat) != 0)
            fail("cannot open the folder ", sPath);
        if (oStat.st_uid != ::geteuid())
            throw quoteForMessage(sPath) + " belongs to another account (uid " +
                std::to_string(oStat.st_uid) +
                "): --extract writes only into a folder of the account that runs it";
        if (oStat.st_mode & S_IWOTH)
            throw quoteForMessage(sPath) + " may be written by every account: --extract writes only into a " +
                "folder no other account can change";
        if (!isEmpty())
            throw quoteForMessage(sPath) + " is not empty: --extract writes only into a new or empty folder";
    }

    // A new file sName, filled by fFill through the writer it is given.
    template <typename tFill>
    void create(const std::string& sName, tFill fFill) {
        cDescriptor oFile(open(sName, sPath + "/" + sName));
        write(oFile, fFill, sPath + "/" + sName);
    }

    // sText as the file sName, which appears under that name only once it is whole and
    // durable, after everything written before it: a rebuild never finds it cut short.
    // Whatever fails removes the partial file, which has a name no contents file has.
    void publish(const std::string& sName, const std::string& sText) {
        const std::string sPartial = sName + PARTIAL_SUFFIX;
        const std::string sShown = sPath + "/" + sName;
        cDescriptor oFile(open(sPartial, sShown));
        try {
            write(
                oFile,
                [&](const auto& fWrite) {
                    fWrite(reinterpret_cast<const uint8_t*>(sText.data()), sText.size());
                },
                sShown, true);
            if (!renameNoReplace(oDir.iFd, sPartial.c_str(), sName.c_str()))
                fail("cannot write ", sShown);
        } catch (...) {
            ::unlinkat(oDir.iFd, sPartial.c_str(), 0);
            throw;
        }
        if (::fsync(oDir.iFd) != 0)
            throw "the manifest " + quoteForMessage(sShown) +
                " is in place, but its folder cannot be synced: " + std::strerror(errno);
    }

  private:
    int open(const std::string& sName, const std::string& sShown) const {
        const int iFd = ::openat(oDir.iFd, sName.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, NEW_FILE_MODE);
        if (iFd < 0)
            fail("cannot write ", sShown);
        return iFd;
    }

    // Fills the new file through fFill and closes it; bDurable: the file and all written
    // before it are synced first.
    template <typename tFill>
    void write(cDescriptor& oFile, tFill fFill, const std::string& sShown, bool bDurable = false) const {
        fFill([&](const uint8_t* pBytes, size_t iLength) {
            if (!writeAll(oFile.iFd, pBytes, iLength))
                fail("cannot write ", sShown);
        });
        // syncfs: the contents files, all at once.
        if ((bDurable && (::fsync(oFile.iFd) != 0 || ::syncfs(oDir.iFd) != 0)) || !oFile.close())
            fail("cannot write ", sShown);
    }

    bool isEmpty() const {
        cDescriptor oList(::dup(oDir.iFd));
        DIR* pDir = oList.iFd < 0 ? nullptr : ::fdopendir(oList.iFd);
        if (!pDir)
            fail("cannot open the folder ", sPath);
        oList.release(); // the listing's own now, closed with it
        bool bEmpty = true;
        while (const dirent* pEntry = ::readdir(pDir))
            bEmpty = bEmpty && (!std::strcmp(pEntry->d_name, ".") || !std::strcmp(pEntry->d_name, ".."));
        ::closedir(pDir);
        return bEmpty;
    }

    [[noreturn]] static void fail(const std::string& sWhat, const std::string& sPath) {
        throw sWhat + quoteForMessage(sPath) + ": " + std::strerror(errno);
    }

    std::string sPath;
    cDescriptor oDir;
};

std::string where(const cExtractedFile& oFile) {
    if (oFile.bMac)
        return "the manifest (--mac)";
    if (!oFile.bExtracted)
        return "nowhere (not extracted)";
    return oFile.sPath.empty() ? "the manifest (no contents)" : oFile.sPath;
}

} // namespace

int extractImage(const std::string& sImage, const std::string& sDir, bool bSalvage) {
    // A reader that stops early (| head) must not kill the extraction halfway: the lines
    // fail, the files and the manifest are all written.
    std::signal(SIGPIPE, SIG_IGN);
    struct stat oOpened;
    cMtdDevice oImage = openImage(sImage, true, oOpened);
    // In the system's words, as for any file mktinyfs cannot read.
    const tImageReader fRead = [&](uint32_t iOffset, uint8_t* pDest, uint32_t iLength) {
        try {
            oImage.read(iOffset, pDest, iLength);
        } catch (const std::string&) {
            throw "cannot read " + quoteForMessage(sImage) + ": " + std::strerror(oImage.getError());
        }
    };
    const cExtraction oPlan = planExtraction(fRead, bSalvage, sImage);
    cOutputDir oDir(sDir);
    for (const cExtractedFile& oFile : oPlan.lFiles) {
        if (!oFile.sPath.empty()) {
            oDir.create(oFile.sPath, [&](const auto& fWrite) {
                readContents(fRead, oFile, [&](uint32_t, const uint8_t* pBytes, uint32_t iLength) {
                    fWrite(pBytes, iLength);
                });
            });
        }
        std::printf("slot %u: %s, %u bytes at %s: %s\n", unsigned(oFile.iSlot),
                    quoteForMessage(oFile.oEntry.sName).c_str(), unsigned(oFile.oEntry.iSize),
                    hexNumber(oFile.oEntry.iOffset).c_str(), where(oFile).c_str());
    }
    oDir.publish(MANIFEST_NAME, oPlan.sManifest);
    if (oPlan.iCutSlots != 0)
        std::fprintf(
            stderr,
            "mktinyfs: warning: entry-shaped slots after the end of the table: %u (a table cut short?); "
            "--salvage extracts them too\n",
            unsigned(oPlan.iCutSlots));
    for (const std::string& sProblem : oPlan.lProblems)
        std::fprintf(stderr, "mktinyfs: cannot be rebuilt as it is: %s\n", sProblem.c_str());
    if (oPlan.lProblems.empty() && oPlan.iNotCarried != 0)
        std::printf(
            "The manifest builds again all that brellix sees; %u other bytes (stale data outside the files, "
            "the table and the device-identifier record) are not carried.\n",
            unsigned(oPlan.iNotCarried));
    finishStandardOutput(); // the lines are the extraction's report
    // Entries left behind are files missing from the rebuild: no success, as for --check.
    return oPlan.lProblems.empty() && oPlan.iCutSlots == 0 ? 0 : 1;
}
