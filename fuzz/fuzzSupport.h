// What the fuzz targets share: a device image held in an anonymous memory file and
// reached by path as the tool reaches a device node, stream redirection for code that
// prints, and the failure exit that makes libFuzzer keep the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tinyfs/layout.h"

// A broken property of the code under test: report it and abort, so that libFuzzer
// stores the input as a crash.
inline void require(bool bHolds, const char* sWhat) {
    if (bHolds)
        return;
    std::fprintf(stderr, "fuzz property violated: %s\n", sWhat);
    std::abort();
}

constexpr uint8_t ERASED = 0xFF;

// DEVICE_SIZE bytes of erased flash in memory. The file lives as long as the object;
// every transfer is complete or the process aborts, since the harness itself must not
// be the cause of a failure.
class cScratchDevice {
  public:
    cScratchDevice() : iFd(::memfd_create("brellix-fuzz-device", MFD_CLOEXEC)) {
        require(iFd >= 0 && ::ftruncate(iFd, DEVICE_SIZE) == 0, "memory file for the device");
        sPath = "/proc/self/fd/" + std::to_string(iFd);
        put(0, std::vector<uint8_t>(DEVICE_SIZE, ERASED));
    }
    ~cScratchDevice() { ::close(iFd); }

    cScratchDevice(const cScratchDevice&) = delete;
    cScratchDevice& operator=(const cScratchDevice&) = delete;

    const std::string& path() const { return sPath; }

    void put(uint32_t iOffset, const std::vector<uint8_t>& lBytes) {
        require(::pwrite(iFd, lBytes.data(), lBytes.size(), off_t(iOffset)) == ssize_t(lBytes.size()),
                "writing the device image");
    }

    std::vector<uint8_t> get(uint32_t iOffset, uint32_t iLength) const {
        std::vector<uint8_t> lBytes(iLength);
        require(::pread(iFd, lBytes.data(), iLength, off_t(iOffset)) == ssize_t(iLength),
                "reading the device image");
        return lBytes;
    }

    off_t size() const {
        struct stat oStat;
        require(::fstat(iFd, &oStat) == 0, "size of the device image");
        return oStat.st_size;
    }

  private:
    int iFd;
    std::string sPath;
};

// Swallows everything written to it.
class cNullBuffer : public std::streambuf {
  protected:
    int overflow(int iChar) override { return traits_type::not_eof(iChar); }
    std::streamsize xsputn(const char*, std::streamsize iCount) override { return iCount; }
};

// Points a standard stream at another buffer for the lifetime of the object.
class cStreamRedirect {
  public:
    cStreamRedirect(std::ostream& pStream, std::streambuf* pBuffer)
        : pStream(pStream), pSaved(pStream.rdbuf(pBuffer)) {}
    ~cStreamRedirect() { pStream.rdbuf(pSaved); }

    cStreamRedirect(const cStreamRedirect&) = delete;
    cStreamRedirect& operator=(const cStreamRedirect&) = delete;

  private:
    std::ostream& pStream;
    std::streambuf* pSaved;
};

// The input cut at every zero byte; the pieces keep no zero byte, as the tokens of an
// argument vector. Empty pieces are kept; an empty input has none.
inline std::vector<std::string> splitAtZero(const uint8_t* pData, size_t iSize) {
    std::vector<std::string> lPieces(iSize == 0 ? 0 : 1);
    for (size_t i = 0; i < iSize; ++i) {
        if (pData[i] == 0)
            lPieces.emplace_back();
        else
            lPieces.back() += char(pData[i]);
    }
    return lPieces;
}
