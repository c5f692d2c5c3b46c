// Reading the call log of the I/O interposition library (interpose.c), and the
// environment that preloads it, for tests and benchmarks of the real binary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One logged call on a watched target.
struct cIoCall {
    std::string sKind; // open, lseek, read, write, close, fopen, fread, fwrite, fseek, ftell, rewind, fclose
    int64_t iPos = 0;  // position before the call; the requested offset for lseek and fseek
    int64_t iLength = 0; // bytes asked for; the origin (SEEK_SET...) for lseek and fseek
    int64_t iResult = 0; // return value; bytes for fread and fwrite; 0 or -1 for open and fopen
    std::string sPath;   // open and fopen only
};

class cIoLog {
  public:
    // A missing log reads as empty: the process made no watched call.
    explicit cIoLog(const std::string& sPath);

    const std::vector<cIoCall>& getCalls() const { return lCalls; }
    // Calls of this kind, whatever their result.
    int64_t count(const std::string& sKind) const;
    // Position in getCalls() of the iNth (from 1) call of this kind, or -1.
    int64_t indexOf(const std::string& sKind, int64_t iNth) const;
    // Bytes of standard output flushed before the call at this position.
    int64_t stdoutBytesBefore(int64_t iIndex) const;
    // Device pages a read or write call reached, counting a partly moved page.
    int64_t pagesRead() const;
    int64_t pagesWritten() const;
    // The device pages written, call by call, in order and with repeats.
    std::vector<int32_t> writtenPages() const;
    // Injected faults as "KIND K MODE", in order.
    const std::vector<std::string>& getFaults() const { return lFaults; }
    // The page of a power cut, or -1 when the process was not cut.
    int32_t getCutPage() const { return iCutPage; }
    bool wasCutTorn() const { return bCutTorn; }

  private:
    int64_t pagesOf(const std::string& sKind) const;

    std::vector<cIoCall> lCalls;
    std::vector<std::string> lFaults;
    int32_t iCutPage = -1;
    bool bCutTorn = false;
};

// What the interposition library is told to do for one run; empty fields are left out.
struct cIoSetup {
    std::string sDevice;             // BRX_IO_DEVICE
    std::vector<std::string> lFiles; // BRX_IO_FILES
    std::string sFail;               // BRX_IO_FAIL, "KIND:K:MODE"
    std::string sCut;                // BRX_IO_CUT, "K:before" or "K:torn"
    int64_t iDelayUs = 0;            // BRX_IO_DELAY_US
    std::string sLog;                // BRX_IO_LOG
};

// The "NAME=value" entries that preload sLibrary with this setup; they also let a
// sanitized binary accept a library ahead of its runtime (an ASAN_OPTIONS inherited by
// the calling process is extended in place for that).
std::vector<std::string> interposeEnvironment(const std::string& sLibrary, const cIoSetup& oSetup);
