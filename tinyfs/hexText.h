// Numbers in hexadecimal as messages and listings print them: lower-case digits, bare or
// behind "0x", no leading zeros beyond a least number of digits. Names as lines for people
// show them, their control bytes in hexadecimal.
#pragma once

#include <cstdint>
#include <string>

std::string hexDigits(uint64_t iValue, int iLeastDigits = 1);
// The same behind "0x", as every message, listing and report writes a number in hexadecimal.
std::string hexNumber(uint64_t iValue, int iLeastDigits = 1);

// A byte of a name as a line for people shows it: a control byte (below 0x20, and 0x7f)
// as \xHH, so that no name read from an image ends the line, moves the cursor or starts
// an escape sequence; any other byte as it is, 0x80..0xff too (the bytes of UTF-8 text).
std::string shownByte(char c);

// sName with each byte as shownByte shows it: a name of printable bytes as it is.
std::string shownName(const std::string& sName);
