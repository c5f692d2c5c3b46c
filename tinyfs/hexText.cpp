// Hexadecimal text of numbers, and names shown with their control bytes in it.
#include "tinyfs/hexText.h"

#include <cstdio>

namespace {

constexpr unsigned char FIRST_PRINTABLE = 0x20;
constexpr unsigned char DELETE_BYTE = 0x7F;
constexpr int BYTE_DIGITS = 2;

} // namespace

std::string hexDigits(uint64_t iValue, int iLeastDigits) {
    char aDigits[sizeof iValue * 2 + 1];
    std::snprintf(aDigits, sizeof aDigits, "%0*llx", iLeastDigits, static_cast<unsigned long long>(iValue));
    return aDigits;
}

std::string hexNumber(uint64_t iValue, int iLeastDigits) {
    return "0x" + hexDigits(iValue, iLeastDigits);
}

std::string shownByte(char c) {
    const unsigned char iByte = static_cast<unsigned char>(c);
    return iByte < FIRST_PRINTABLE || iByte == DELETE_BYTE ? "\\x" + hexDigits(iByte, BYTE_DIGITS)
                                                           : std::string(1, c);
}

std::string shownName(const std::string& sName) {
    std::string sShown;
    for (const char c : sName)
        sShown += shownByte(c);
    return sShown;
}
