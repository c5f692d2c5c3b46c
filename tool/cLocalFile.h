// A local file opened by descriptor, closed when it goes out of scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "tinyfs/fileIo.h"

class cLocalFile {
  public:
    // Opens without waiting for the other end of a FIFO (for writing, a FIFO without a
    // reader fails with ENXIO); transfers wait as usual. iFlags as for open(2); new files
    // get the usual permissions before the umask. A failure is kept for requireOpen.
    cLocalFile(const std::string& sPath, int iFlags);

    bool isOpen() const { return oFile.iFd >= 0; }
    int openError() const { return iOpenError; }
    // Throws "unable to open file (path)" unless the file is open.
    void requireOpen() const;

    int get() const { return oFile.iFd; }
    const std::string& path() const { return sPath; }
    // Reads until iLength bytes have come or the file ends: the count, or -1 on a failure.
    ssize_t read(uint8_t* pDest, size_t iLength);
    // Writes all iLength bytes; false on a failure.
    bool write(const uint8_t* pSource, size_t iLength);
    // Closes now; false when the file may not hold what was written.
    bool close() { return oFile.close(); }

  private:
    std::string sPath;
    cDescriptor oFile;
    int iOpenError = 0;
};
