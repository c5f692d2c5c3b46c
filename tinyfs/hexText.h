// Numbers in hexadecimal as messages and listings print them: lower-case digits, no
// prefix, no leading zeros beyond a least number of digits.
#pragma once

#include <cstdint>
#include <string>

std::string hexDigits(uint64_t iValue, int iLeastDigits = 1);
