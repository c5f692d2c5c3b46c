// Text pieces of the listing: fill on the right with spaces, never shorten, never
// zero-fill.
#pragma once

#include <cstdint>
#include <string>

std::string padRight(const std::string& sText, int32_t iWidth);
std::string toDec(uint32_t iValue, int32_t iWidth);
