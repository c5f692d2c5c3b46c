// The MAC address read out of its file, and the encoding and decoding of the
// device-identifier record.
#include "tinyfs/boardSettings.h"

#include <cstring>

#include "tinyfs/cTinyFsFile.h"

std::string readMacAddress(const cTinyFsFile& oFile) {
    std::vector<char> lText(MAC_TEXT_LENGTH + 1, 0);
    oFile.read(reinterpret_cast<uint8_t*>(lText.data()), MAC_TEXT_LENGTH);
    return lText.data();
}

std::vector<uint8_t> encodeDeviceId(const std::string& sId) {
    const std::string sMarker(DEVICE_ID_MARKER, DEVICE_ID_MARKER_LENGTH);
    const std::string sRecord = sMarker + sId + '\0' + sMarker;
    return std::vector<uint8_t>(sRecord.begin(), sRecord.end());
}

bool decodeDeviceId(const uint8_t* pArea, std::string& sId) {
    if (std::memcmp(pArea, DEVICE_ID_MARKER, DEVICE_ID_MARKER_LENGTH) != 0)
        return false;
    const uint8_t* pStart = pArea + DEVICE_ID_MARKER_LENGTH;
    const size_t iScan = DEVICE_ID_AREA_SIZE - DEVICE_ID_MARKER_LENGTH;
    const void* pZero = std::memchr(pStart, 0, iScan);
    sId = pZero ? std::string(reinterpret_cast<const char*>(pStart),
                              static_cast<const uint8_t*>(pZero) - pStart)
                : std::string();
    return true;
}
