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
    std::optional<uint32_t> iOffset; // default: the next page boundary after the previous file
    uint32_t iExtraRoom = 0;         // room beyond the contents before the next default-placed file
    uint32_t iLoadAddress = 0;
    uint16_t iFlagBits = 0; // raw low half of the flags word (load address, X, Ax, others)
    bool bChecksum = true;  // false records 0, "no checksum"
};

class cImageBuilder {
  public:
    void addFile(const cImageFile& oFile);
    // Adds the file "mac-address" holding the text (17 bytes for a valid address). It
    // carries no checksum: the board rewrites the address in place and keeps the
    // stored checksum, so a recorded one would fail the next integrity check.
    void setMac(const std::string& sMac, uint32_t iExtraRoom = 0);
    void setDeviceId(const std::string& sId);

    // The 0x840000-byte image. Throws a one-line std::string for an empty or too long
    // name, a duplicate name, overlapping files, a file past the device end, more than
    // 1023 entries, or a device identifier longer than 32 bytes.
    //
    // Layout: a file without an offset goes to 0xC000 when it is the first, else to the
    // first page boundary at or after the previous file's offset + size + extra room,
    // never before 0xC000 and never at the previous file's own offset. Two files
    // overlap when one starts inside the other's contents and room, or both start at
    // the same offset, even empty ones. Explicit offsets may lie
    // before the FAT as long as the file ends there, never inside the FAT; with a
    // device identifier set, files end before its 64-byte area. Files with a load
    // address also fit below the next higher load address, as the boot-time check
    // demands.
    //
    // Stored checksum: the contents' CRC-16, or 0 when bChecksum is false. The load address is stored
    // whatever the flag bits say.
    std::vector<uint8_t> build() const;

    // build(), written to a temporary file beside sPath and renamed over it, so a
    // failure never leaves a partial image.
    void writeTo(const std::string& sPath) const;

  private:
    // Where each file lands, after the checks build() makes.
    std::vector<uint32_t> getOffsets() const;

    std::vector<cImageFile> lFiles;
    std::optional<std::string> sDeviceId;
};

// Numbers in messages: "0x" and lower-case hexadecimal digits.
std::string hexText(uint64_t iValue);
// sText in double quotes for a one-line message: quotes, backslashes and control bytes
// are escaped, so a name or path can never break the line.
std::string quoteForMessage(const std::string& sText);
