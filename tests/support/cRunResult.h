// Running the built programs as processes in tests, and scratch directories for their
// files.
#pragma once

#include <string>
#include <vector>

struct cRunResult {
    std::string sOut;
    std::string sErr;
    int iStatus = -1; // exit status, or 128 + signal number when killed by a signal
};

// Runs lArgs[0] with the arguments lArgs[1..], standard input from sStdin, extra
// environment entries "NAME=value" added to the test's own environment.
cRunResult runProcess(const std::vector<std::string>& lArgs, const std::string& sStdin = "",
                      const std::vector<std::string>& lEnv = {});

// Runs the built brellix with these arguments (under $BRELLIX_TEST_WRAPPER when set).
cRunResult runBrellix(const std::vector<std::string>& lArgs, const std::vector<std::string>& lEnv = {});

std::string brellixPath();
std::string mktinyfsPath();
std::string interposeLibPath();

// A fresh directory, removed with everything in it when the object goes.
class cTempDir {
  public:
    cTempDir();
    ~cTempDir();
    cTempDir(const cTempDir&) = delete;
    cTempDir& operator=(const cTempDir&) = delete;
    const std::string& path() const { return sPath; }
    std::string file(const std::string& sName) const { return sPath + "/" + sName; }

  private:
    std::string sPath;
};

std::vector<unsigned char> readBytes(const std::string& sPath);
void writeBytes(const std::string& sPath, const std::vector<unsigned char>& lBytes);
bool fileExists(const std::string& sPath);
