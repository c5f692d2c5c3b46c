// A local file opened by descriptor, closed when it goes out of scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

class cLocalFile {
  public:
    // Throws "unable to open file (path)"; iFlags as for open(2), new files get the usual
    // permissions before the umask.
    cLocalFile(const std::string& sPath, int iFlags);
    ~cLocalFile();

    cLocalFile(const cLocalFile&) = delete;
    cLocalFile& operator=(const cLocalFile&) = delete;

    int get() const { return iFd; }
    const std::string& path() const { return sPath; }
    // Reads until iLength bytes have come or the file ends: the count, or -1 on a failure.
    ssize_t read(uint8_t* pDest, size_t iLength);
    // Writes all iLength bytes; false on a failure.
    bool write(const uint8_t* pSource, size_t iLength);
    // Closes now; false when the file may not hold what was written.
    bool close();

  private:
    std::string sPath;
    int iFd;
};
