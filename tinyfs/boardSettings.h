// Board settings kept on the flash beside the files: the MAC address, as text in the
// tinyfs file "mac-address", and the device-identifier record at the start of the last
// 64 bytes of the device.
//
// Record: "DEVICE_ID", the identifier (0 to 32 bytes, any values), one zero byte,
// "DEVICE_ID" again. The bytes of the area after the record are not part of it and are
// never written. A reader looks only at the first marker and the identifier up to its
// zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tinyfs/layout.h"

class cTinyFsFile;

constexpr char MAC_FILE_NAME[] = "mac-address";
constexpr uint32_t MAC_TEXT_LENGTH = 17;

// The address in oFile as brellix --get-mac shows it: its first MAC_TEXT_LENGTH bytes, up
// to a zero byte. Throws what reading them throws: the file's own failure when it is
// shorter than an address, the device's when they pass the device end.
std::string readMacAddress(const cTinyFsFile& oFile);

constexpr char DEVICE_ID_MARKER[] = "DEVICE_ID";
constexpr uint32_t DEVICE_ID_MARKER_LENGTH = sizeof DEVICE_ID_MARKER - 1;
constexpr uint32_t DEVICE_ID_MAX = 32;

// The record bytes for an identifier of at most DEVICE_ID_MAX bytes.
std::vector<uint8_t> encodeDeviceId(const std::string& sId);

// Reads the identifier out of the DEVICE_ID_AREA_SIZE bytes of the area; false when the
// area does not start with the marker. No zero byte after the marker gives an empty
// identifier.
bool decodeDeviceId(const uint8_t* pArea, std::string& sId);
