// Numbers as messages and listings show them: lower-case hexadecimal without prefix or
// leading zeros.
#pragma once

#include <cstdint>
#include <string>

std::string hexText(uint32_t iValue);
