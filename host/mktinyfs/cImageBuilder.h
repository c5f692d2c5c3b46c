// Builds complete tinyfs images on a host: the FAT, the files' contents at their
// offsets, the optional "mac-address" file and device-identifier record, with every
// unused byte erased (0xFF).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tinyfs/layout.h"

class cImageOutput;

// Images and contents move in pieces of this many bytes, so that no input is held twice.
constexpr size_t IMAGE_IO_BLOCK = 64 * PAGE_SIZE;

struct cImageFile {
    std::string sName;
    std::vector<uint8_t> lContents;
    std::optional<uint32_t> iOffset; // default: the next page boundary after the previous file
    uint32_t iExtraRoom = 0;         // room beyond the contents before the next default-placed file
    uint32_t iLoadAddress = 0;
    uint16_t iFlagBits = 0;            // raw low half of the flags word (load address, X, Ax, others)
    bool bChecksum = true;             // false records 0, "no checksum"
    std::optional<uint16_t> iChecksum; // a stored checksum other than the contents' own
};

class cImageBuilder {
  public:
    // Fills pTo with the next iLength bytes of a file's contents, or throws.
    using tReader = std::function<void(uint8_t* pTo, size_t iLength)>;
    // Takes iLength bytes of the image for position iAt.
    using tSink = std::function<void(uint32_t iAt, const uint8_t* pFrom, size_t iLength)>;

    void addFile(const cImageFile& oFile);
    // The file added as iFile-th (from 0) takes iSize bytes of contents from fRead, read
    // only while the image is written, after every check, in place of its lContents.
    void setContents(size_t iFile, uint64_t iSize, tReader fRead);
    // Adds the file "mac-address" holding the text (17 bytes for a valid address). It
    // carries no checksum: the board rewrites the address in place and keeps the
    // stored checksum, so a recorded one would fail the next integrity check.
    void setMac(const std::string& sMac, uint32_t iExtraRoom = 0);
    void setDeviceId(const std::string& sId);

    // What needs neither contents nor their sizes: the number of files, their names and
    // the device identifier. Throws a one-line std::string for more than 1023 entries, an
    // empty, too long or duplicate name, or a device identifier longer than 32 bytes.
    void checkEntries() const;

    // The 0x840000-byte image. Throws what checkEntries throws, and a one-line std::string
    // for overlapping files or a file past the device end.
    //
    // Layout: a file without an offset goes to 0xC000 when it is the first, else to the
    // first page boundary at or after the previous file's offset + size + extra room,
    // never before 0xC000 and never at the previous file's own offset. Two files
    // overlap when one starts inside the other's contents and room, or both start at
    // the same offset, even empty ones. Explicit offsets may lie before the FAT as long
    // as the file's contents and room fit its room there (tinyfs/capacity.h), never
    // inside the FAT; with a device identifier set, files end before its 64-byte area.
    // Files with a load address also fit below the next higher load address, as the
    // boot-time check demands.
    //
    // Stored checksum: iChecksum when given, else the contents' CRC-16, or 0 when
    // bChecksum is false. The load address is stored whatever the flag bits say.
    std::vector<uint8_t> build() const;

    // The same image, piece by piece, after the same checks: erased bytes, then each
    // file's contents as they are read, then the FAT and the device-identifier record.
    void write(const tSink& fPut) const;

    // write() into the temporary file of oOutput, which then replaces OUTPUT.
    void writeTo(cImageOutput& oOutput) const;

  private:
    struct cSource {
        uint64_t iSize = 0;
        tReader fRead; // none: lContents holds the contents
    };
    uint64_t contentSize(size_t iFile) const;
    uint16_t putContents(size_t iFile, uint32_t iOffset, std::vector<uint8_t>& lBlock,
                         const tSink& fPut) const;
    // Where each file lands, after the checks build() makes.
    std::vector<uint32_t> getOffsets() const;

    std::vector<cImageFile> lFiles;
    std::vector<cSource> lSources; // one per file
    std::optional<std::string> sDeviceId;
};

// Where a file without an offset goes when the file before it in the table lies at
// iOffset with iSize bytes of contents and iExtraRoom bytes of room.
uint64_t defaultOffsetAfter(uint32_t iOffset, uint64_t iSize, uint32_t iExtraRoom);

// sText in double quotes for a one-line message: quotes, backslashes and control bytes
// are escaped, so a name or path can never break the line.
std::string quoteForMessage(const std::string& sText);

// A file where it lies, as layout messages name it: "NAME" (0xOFFSET + 0xBYTES).
std::string describeFile(const std::string& sName, uint64_t iOffset, uint64_t iBytes);

// A number as messages show it: 0x and lower-case hexadecimal digits.
std::string hexForMessage(uint64_t iValue);
