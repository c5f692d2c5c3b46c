// Names and numbers in messages, and hexadecimal digits read back.
#include "host/mktinyfs/messageText.h"

#include "tinyfs/hexText.h"

namespace {

constexpr int FIRST_LETTER_DIGIT = 10; // the value of "a"

} // namespace

std::string quoteForMessage(const std::string& sText) {
    std::string sOut = "\"";
    for (const char c : sText)
        sOut += c == '"' || c == '\\' ? std::string("\\") + c : shownByte(c);
    return sOut + "\"";
}

std::string describeFile(const std::string& sName, uint64_t iOffset, uint64_t iBytes) {
    return quoteForMessage(sName) + " (" + hexNumber(iOffset) + " + " + hexNumber(iBytes) + ")";
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + FIRST_LETTER_DIGIT;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + FIRST_LETTER_DIGIT;
    return -1;
}
