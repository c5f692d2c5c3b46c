// Included first in every C++ file of a musl build: what the compiler's C++ library,
// configured for glibc, expects of the C library and musl does not define.
#pragma once

// The configuration asks for glibc versions; musl is none of them.
#define __GLIBC_PREREQ(iMajor, iMinor) 0

#ifdef __cplusplus
#include <locale.h>
typedef locale_t __locale_t;

// glibc's flag for "no second thread was ever started", which lets the C++ library skip
// atomic operations. 0 keeps them all: always correct. Weak, so that every file may
// define it.
extern "C" {
__attribute__((weak)) char __libc_single_threaded = 0;
}
#endif
