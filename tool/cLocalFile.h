// A local file opened through the C library's buffered streams, closed when it goes out
// of scope.
#pragma once

#include <cstdio>
#include <string>

class cLocalFile {
  public:
    // Throws "unable to open file (path)".
    cLocalFile(const std::string& sPath, const char* sMode);
    ~cLocalFile();

    cLocalFile(const cLocalFile&) = delete;
    cLocalFile& operator=(const cLocalFile&) = delete;

    FILE* get() const { return pFile; }
    // Closes now and reports whether everything buffered reached the file.
    bool close();

  private:
    FILE* pFile;
};
