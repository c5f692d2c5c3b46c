// Polynomial digests of contents, with the arithmetic modulo 2^61 - 1: products of two
// numbers below 2^61 through 128-bit numbers where the compiler has them, four words a
// step, and from four 32-bit products a word on 32-bit boards; both give the same digest.
#include "host/mktinyfs/contentDigest.h"

#include <cstring>
#include <sys/random.h>
#include <sys/types.h>

namespace {

// A Mersenne prime: 2^61 is 1 modulo it, so a reduction is a shift and an addition.
constexpr unsigned PRIME_BITS = 61;
constexpr uint64_t PRIME = (uint64_t(1) << PRIME_BITS) - 1;
// Any fixed point still gives exact results: the digests only choose which files are
// compared byte for byte.
constexpr uint64_t FALLBACK_POINT = 0x0BADC0FFEE0DDF00u % PRIME;

uint64_t reduce(uint64_t iValue) {
    iValue = (iValue & PRIME) + (iValue >> PRIME_BITS);
    return iValue >= PRIME ? iValue - PRIME : iValue;
}

// iLeft * iRight modulo the prime, for both below it.
uint64_t multiply(uint64_t iLeft, uint64_t iRight) {
#ifdef __SIZEOF_INT128__
    const unsigned __int128 iProduct = static_cast<unsigned __int128>(iLeft) * iRight;
    return reduce((uint64_t(iProduct) & PRIME) + uint64_t(iProduct >> PRIME_BITS));
#else
    constexpr unsigned HALF_BITS = 32;
    constexpr uint64_t LOW_HALF = 0xFFFFFFFFu;
    constexpr unsigned MIDDLE_SPLIT = PRIME_BITS - HALF_BITS;   // the middle's bits from 2^61 on are 1 each
    constexpr unsigned HIGH_SHIFT = 2 * HALF_BITS - PRIME_BITS; // 2^64 is 2^3 modulo the prime
    const uint64_t iLeftHigh = iLeft >> HALF_BITS, iLeftLow = iLeft & LOW_HALF;
    const uint64_t iRightHigh = iRight >> HALF_BITS, iRightLow = iRight & LOW_HALF;
    const uint64_t iMiddle = iLeftHigh * iRightLow + iLeftLow * iRightHigh; // times 2^32
    const uint64_t iLow = iLeftLow * iRightLow;
    return reduce(((iLeftHigh * iRightHigh) << HIGH_SHIFT) + (iMiddle >> MIDDLE_SPLIT) +
                  ((iMiddle & ((uint64_t(1) << MIDDLE_SPLIT) - 1)) << HALF_BITS) + (iLow & PRIME) +
                  (iLow >> PRIME_BITS));
#endif
}

} // namespace

uint64_t digestBytes(const uint8_t* pBytes, uint32_t iLength, uint64_t iPoint) {
    // Words in the host's byte order: digests are only compared within one run.
    uint64_t iDigest = 0;
    uint32_t iAt = 0;
#ifdef __SIZEOF_INT128__
    // BLOCK_WORDS steps at once, summed in 128 bits and reduced once: D * x^4 + W0 * x^3 +
    // W1 * x^2 + W2 * x + W3 is what four steps give.
    constexpr unsigned BLOCK_WORDS = 4;
    uint64_t aPowers[BLOCK_WORDS + 1] = {1};
    for (unsigned i = 1; i <= BLOCK_WORDS; ++i)
        aPowers[i] = multiply(aPowers[i - 1], iPoint);
    for (uint32_t aWords[BLOCK_WORDS]; iAt + sizeof aWords <= iLength; iAt += sizeof aWords) {
        std::memcpy(aWords, pBytes + iAt, sizeof aWords);
        unsigned __int128 iSum = static_cast<unsigned __int128>(iDigest) * aPowers[BLOCK_WORDS];
        for (unsigned i = 0; i < BLOCK_WORDS; ++i)
            iSum += static_cast<unsigned __int128>(aWords[i]) * aPowers[BLOCK_WORDS - 1 - i];
        iDigest = reduce((uint64_t(iSum) & PRIME) + uint64_t(iSum >> PRIME_BITS));
    }
#endif
    for (uint32_t iWord; iAt + sizeof iWord <= iLength; iAt += sizeof iWord) {
        std::memcpy(&iWord, pBytes + iAt, sizeof iWord);
        iDigest = reduce(multiply(iDigest, iPoint) + iWord);
    }
    for (; iAt < iLength; ++iAt)
        iDigest = reduce(multiply(iDigest, iPoint) + pBytes[iAt]);
    return iDigest;
}

uint64_t drawDigestPoint() {
    uint64_t iRandom = 0;
    const bool bDrawn = ::getrandom(&iRandom, sizeof iRandom, GRND_NONBLOCK) == ssize_t(sizeof iRandom);
    return (bDrawn ? iRandom : FALLBACK_POINT) % PRIME;
}
