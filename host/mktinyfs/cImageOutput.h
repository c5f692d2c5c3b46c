// Where mktinyfs puts an image: OUTPUT, checked before anything is read, and a temporary
// file beside it that replaces it in one step once the image is complete.
//
// OUTPUT may be a symbolic link (the file it ends at gets the image and the link stays),
// an existing regular file (its mode and owner stay) or a new name. Anything else that
// exists there, a device, a FIFO, a socket or a directory, is refused and left alone, and
// so is an image with files when the new one would have none.
// The temporary file has no name until the image is complete (O_TMPFILE): a new OUTPUT is
// then its first name, and an existing one is replaced by a rename from a temporary name.
// Where the file system cannot make unnamed files, it has a name from the start, which
// the signals that end a run (tinyfs/stoppingSignals.h) remove before they end the process.
// From the naming until the image is in place and durable, those signals are held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "tinyfs/fileIo.h"

class cMtdDevice;

class cImageOutput {
  public:
    // Resolves and checks OUTPUT and creates the temporary file; throws a message.
    // bNoFiles: the image to come holds no file, and must not replace an image that holds
    // some (the slip of "mktinyfs dump.bin" for "mktinyfs --extract dump.bin DIR").
    // pSource: the device the image comes from, which OUTPUT must not be under any name.
    explicit cImageOutput(const std::string& sOutput, bool bNoFiles = false,
                          const cMtdDevice* pSource = nullptr);
    ~cImageOutput(); // without commit, nothing of the run is left
    cImageOutput(const cImageOutput&) = delete;
    cImageOutput& operator=(const cImageOutput&) = delete;

    void write(uint64_t iAt, const uint8_t* pFrom, size_t iLength);

    // Gives the image the mode and owner OUTPUT had (a new one those of any new file),
    // makes it durable, puts it in place of OUTPUT and makes that durable too; throws
    // "interrupted by SIGNAL: ..." when a signal that ends a run came meanwhile.
    void commit();

  private:
    [[noreturn]] void fail(const std::string& sWhat) const;
    void checkTarget();               // what is at the target now: nothing or a regular file
    void keepFiles(int iProbe) const; // refuses to replace the files of the image at iProbe
    std::string temporaryName(int iTry) const;
    void createTemporary();
    bool linkUnnamed(const std::string& sName) const; // false, with errno, when it cannot
    void linkTemporary(); // gives the unnamed temporary file a name beside the target
    // Names the unnamed file as a new OUTPUT; false when OUTPUT exists, to be replaced.
    bool nameAsTarget();
    void replaceTarget();
    void removeTemporary();
    void forgetTemporaryName();

    std::string sOutput; // as given, for messages
    const cMtdDevice* pSource;
    std::string sBase; // the target's name in its directory
    cDescriptor oDir;
    cDescriptor oTemp;
    std::string sTempName; // empty while the temporary file has no name
    bool bCleanupArmed = false;
    bool bExisting = false;
    mode_t iMode = 0;
    uid_t iUid = 0;
    gid_t iGid = 0;
};
