// Digests of contents, for telling contents apart without comparing them byte for byte: a
// polynomial over their 32-bit words modulo the prime 2^61 - 1, evaluated at a point drawn
// afresh for each run.
#pragma once

#include <cstdint>

// The digest of iLength bytes at pBytes. Equal bytes get equal digests; two different
// contents of iLength bytes each get equal digests with a probability of at most
// iLength / 2^61 whatever their bytes, as long as iPoint is unknown to whoever chose them.
uint64_t digestBytes(const uint8_t* pBytes, uint32_t iLength, uint64_t iPoint);

// A point for digestBytes, from the kernel's random source.
uint64_t drawDigestPoint();
