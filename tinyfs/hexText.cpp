// Hexadecimal text of a number.
#include "tinyfs/hexText.h"

#include <cstdio>

std::string hexText(uint32_t iValue) {
    char aDigits[sizeof iValue * 2 + 1];
    std::snprintf(aDigits, sizeof aDigits, "%x", unsigned(iValue));
    return aDigits;
}
