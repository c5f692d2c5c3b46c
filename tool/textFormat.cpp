// Listing text operations.
#include "tool/textFormat.h"

std::string padRight(const std::string& sText, int32_t iWidth) {
    const int64_t iFill = int64_t(iWidth) - int64_t(sText.size());
    return iFill > 0 ? sText + std::string(size_t(iFill), ' ') : sText;
}

std::string toDec(uint32_t iValue, int32_t iWidth) {
    return padRight(std::to_string(iValue), iWidth);
}
