// Whole transfers on the descriptor of a local file, going on after interrupted calls
// and partial counts, and the permissions a file gets when it is created.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Before the umask, as for any file a program creates.
constexpr mode_t NEW_FILE_MODE = 0666;

// Transfers at the descriptor's own position, or from the file position iAt on (pread,
// pwrite), leaving the descriptor's position alone.
constexpr int64_t AT_CURRENT = -1;

// Reads until iLength bytes have come or the file ends: the count, or -1 on a failure
// (errno says which).
ssize_t readAll(int iFd, uint8_t* pDest, size_t iLength, int64_t iAt = AT_CURRENT);

// Writes all iLength bytes; false on a failure.
bool writeAll(int iFd, const uint8_t* pSource, size_t iLength, int64_t iAt = AT_CURRENT);
