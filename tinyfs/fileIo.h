// Whole transfers on the descriptor of a local file, going on after interrupted calls
// and partial counts, the permissions a file gets when it is created and the bits that are
// permissions in a mode, and the owner that closes a descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Before the umask, as for any file a program creates.
constexpr mode_t NEW_FILE_MODE = 0666;
// The bits of a mode that chmod sets: the permissions, set-user-ID, set-group-ID and sticky.
constexpr mode_t PERMISSION_BITS = 07777;

// Transfers at the descriptor's own position, or from the file position iAt on (pread,
// pwrite), leaving the descriptor's position alone.
constexpr int64_t AT_CURRENT = -1;

// Reads until iLength bytes have come or the file ends: the count, or -1 on a failure
// (errno says which).
ssize_t readAll(int iFd, uint8_t* pDest, size_t iLength, int64_t iAt = AT_CURRENT);

// Writes all iLength bytes; false on a failure.
bool writeAll(int iFd, const uint8_t* pSource, size_t iLength, int64_t iAt = AT_CURRENT);

// A descriptor closed with its owner, also when the owner's constructor fails half-way,
// after the failure's message was made from errno.
struct cDescriptor {
    int iFd = -1;
    cDescriptor() = default;
    explicit cDescriptor(int iFd) : iFd(iFd) {}
    cDescriptor(const cDescriptor&) = delete;
    cDescriptor& operator=(const cDescriptor&) = delete;
    ~cDescriptor() { close(); }
    // Hands the descriptor over to a new owner.
    int release() {
        const int iHeld = iFd;
        iFd = -1;
        return iHeld;
    }
    // Closes now: false when close reports a failure (data a file system lost), or when
    // there was nothing open.
    bool close();
};
