// Writing JSON: separators, numbers and escaped text.
#include "host/mktinyfs/cJsonWriter.h"

#include "tinyfs/hexText.h"

namespace {

constexpr unsigned char ASCII_END = 0x80;
constexpr unsigned char CONTROL_END = 0x20;
constexpr unsigned char CONTINUATION_MASK = 0xC0;
constexpr unsigned char CONTINUATION = 0x80;
constexpr int HEX_BYTE_DIGITS = 2;
constexpr int ESCAPE_DIGITS = 4;

// The length of the UTF-8 sequence starting at sText[i] (2 to 4), or 0 when it is none: no
// overlong forms, no surrogates, nothing past U+10FFFF.
size_t sequenceLength(const std::string& sText, size_t i) {
    const unsigned char c = static_cast<unsigned char>(sText[i]);
    size_t iLength = 0;
    unsigned char iLow = 0x80, iHigh = 0xBF; // the second byte's range
    if (c >= 0xC2 && c <= 0xDF)
        iLength = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        iLength = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        iLength = 4;
    if (c == 0xE0)
        iLow = 0xA0;
    else if (c == 0xED)
        iHigh = 0x9F;
    else if (c == 0xF0)
        iLow = 0x90;
    else if (c == 0xF4)
        iHigh = 0x8F;
    if (iLength == 0 || i + iLength > sText.size())
        return 0;
    const unsigned char iSecond = static_cast<unsigned char>(sText[i + 1]);
    if (iSecond < iLow || iSecond > iHigh)
        return 0;
    for (size_t k = 2; k < iLength; ++k) {
        if ((static_cast<unsigned char>(sText[i + k]) & CONTINUATION_MASK) != CONTINUATION)
            return 0;
    }
    return iLength;
}

} // namespace

void cJsonWriter::separate() {
    if (!bFirst)
        sOut += ',';
    bFirst = false;
}

cJsonWriter& cJsonWriter::open(char cBracket) {
    separate();
    sOut += cBracket;
    bFirst = true;
    return *this;
}

cJsonWriter& cJsonWriter::close(char cBracket) {
    sOut += cBracket;
    bFirst = false;
    return *this;
}

cJsonWriter& cJsonWriter::key(const char* sKey) {
    text(sKey);
    sOut += ':';
    bFirst = true;
    return *this;
}

cJsonWriter& cJsonWriter::number(uint64_t iValue) {
    separate();
    sOut += std::to_string(iValue);
    return *this;
}

cJsonWriter& cJsonWriter::number(std::optional<uint64_t> iValue) {
    return iValue ? number(*iValue) : null();
}

cJsonWriter& cJsonWriter::boolean(bool bValue) {
    separate();
    sOut += bValue ? "true" : "false";
    return *this;
}

cJsonWriter& cJsonWriter::null() {
    separate();
    sOut += "null";
    return *this;
}

cJsonWriter& cJsonWriter::text(const std::string& sBytes) {
    separate();
    sOut += '"';
    for (size_t i = 0; i < sBytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(sBytes[i]);
        if (c == '"' || c == '\\') {
            sOut += '\\';
            sOut += char(c);
        } else if (c < CONTROL_END) {
            sOut += "\\u" + hexDigits(c, ESCAPE_DIGITS);
        } else if (c < ASCII_END) {
            sOut += char(c);
        } else if (const size_t iLength = sequenceLength(sBytes, i)) {
            sOut += sBytes.substr(i, iLength);
            i += iLength - 1;
        } else {
            sOut += "\\ufffd";
        }
    }
    sOut += '"';
    return *this;
}

cJsonWriter& cJsonWriter::textAndHex(const char* sKey, const std::string& sBytes) {
    std::string sHex;
    for (const char c : sBytes)
        sHex += hexDigits(static_cast<unsigned char>(c), HEX_BYTE_DIGITS);
    key(sKey).text(sBytes);
    return key((std::string(sKey) + "_hex").c_str()).text(sHex);
}
