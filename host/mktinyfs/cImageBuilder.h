// Builds complete tinyfs images on a host: the FAT, the files' contents at their
// offsets, the optional "mac-address" file and device-identifier record, with every
// unused byte erased (0xFF).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct cImageFile {
    std::string sName;
    std::vector<uint8_t> lContents;
    std::optional<uint32_t> iOffset;       // default: the next page boundary after the previous file
    uint32_t iExtraRoom = 0;               // room beyond the contents before the next default-placed file
    uint32_t iLoadAddress = 0;
    uint16_t iFlagBits = 0;                // raw low half of the flags word (load address, X, Ax, others)
    bool bChecksum = true;                 // false records 0, "no checksum"
    std::optional<uint16_t> iChecksum;     // a stored checksum other than the contents' own
};

class cImageBuilder {
  public:
    void addFile(const cImageFile& oFile);
    // Adds the file "mac-address" holding the text (17 bytes for a valid address).
    void setMac(const std::string& sMac, uint32_t iExtraRoom = 0);
    void setDeviceId(const std::string& sId);

    // The 0x840000-byte image. Throws a one-line std::string for an empty or too long
    // name, a duplicate name, overlapping files, a file past the device end, more than
    // 1023 entries, or a device identifier longer than 32 bytes.
    std::vector<uint8_t> build() const;

    // build(), written to a temporary file beside sPath and renamed over it, so a
    // failure never leaves a partial image.
    void writeTo(const std::string& sPath) const;

  private:
    std::vector<cImageFile> lFiles;
    std::optional<std::string> sDeviceId;
};
