// Hexadecimal text of numbers.
#include "tinyfs/hexText.h"

#include <cstdio>

std::string hexDigits(uint64_t iValue, int iLeastDigits) {
    char aDigits[sizeof iValue * 2 + 1];
    std::snprintf(aDigits, sizeof aDigits, "%0*llx", iLeastDigits, static_cast<unsigned long long>(iValue));
    return aDigits;
}
