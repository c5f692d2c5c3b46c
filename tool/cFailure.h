// A failure that carries its own exit status, and may end the run without a word: the
// answer of "--exists" is its status alone. It is thrown like the std::string failures,
// so that everything taken on the way out (the device, its lock) is released before main
// turns it into output.
#pragma once

#include <cstdlib>
#include <string>

class cFailure {
  public:
    // sMessage empty: nothing is printed.
    explicit cFailure(int iStatus, const std::string& sMessage = "") : iStatus(iStatus), sMessage(sMessage) {}

    int getStatus() const { return iStatus; }
    bool isSilent() const { return sMessage.empty(); }
    const std::string& getMessage() const { return sMessage; }

  private:
    int iStatus;
    std::string sMessage;
};
