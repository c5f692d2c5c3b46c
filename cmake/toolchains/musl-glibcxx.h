// Included first in every C++ file of a musl build: what the compiler's C++ library and
// unwinder, configured for glibc, expect of the C library and musl does not define.
#pragma once

// The configuration asks for glibc versions; musl is none of them.
#define __GLIBC_PREREQ(iMajor, iMinor) 0

#ifdef __cplusplus
#include <locale.h>
#include <stdlib.h>
typedef locale_t __locale_t;

// glibc's flag for "no second thread was ever started", which lets the C++ library skip
// atomic operations. 0 keeps them all: always correct. Weak, so that every file may
// define it.
extern "C" {
__attribute__((weak)) char __libc_single_threaded = 0;

// Where the unwinder reads DWARF tables (64-bit ARM), it asks glibc for the tables of an
// address that no start file registered. In a static program the start file (crtbeginT.o)
// registers all of them, so no other object holds any: "not found".
__attribute__((weak)) int _dl_find_object(void*, void*) {
    return -1;
}
}

// What ends the program when an exception leaves noexcept code or main: the compiler's
// default prints the exception's type, through a demangler of some 50 KB. Both programs
// catch what they throw in main, so this only ends a broken program, as the default does
// after its message. Defined here, it keeps the default's
// archive member, and the demangler with it, out of the link.
namespace __cxxabiv1 {
__attribute__((weak)) void (*__terminate_handler)() = abort;
}
#endif
