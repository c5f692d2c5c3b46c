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

class cProblems;

struct cImageFile {
    std::string sName;
    std::vector<uint8_t> lContents;
    std::optional<uint32_t> iOffset; // default: the next page boundary after the previous file
    uint32_t iExtraRoom = 0;         // room beyond the contents before the next default-placed file
    uint32_t iLoadAddress = 0;
    uint16_t iFlagBits = 0;            // raw low half of the flags word (load address, X, Ax, others)
    bool bChecksum = true;             // false records 0, "no checksum"
    std::optional<uint16_t> iChecksum; // a stored checksum other than the contents' own
    uint32_t iSlot = 0;                // the slot of a file read back from an image, for its problems
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
    // The file added as iFile-th has iSize bytes of contents, for a layout that is only
    // checked (listProblems), never written.
    void setContentSize(size_t iFile, uint64_t iSize);
    // Adds the file "mac-address" holding the text (17 bytes for a valid address). It
    // carries no checksum: the board rewrites the address in place and keeps the
    // stored checksum, so a recorded one would fail the next integrity check.
    void setMac(const std::string& sMac, uint32_t iExtraRoom = 0);
    void setDeviceId(const std::string& sId);

    // What needs neither contents nor their sizes: the number of files, their names and
    // the device identifier. Throws a one-line std::string for more than 1023 entries, an
    // empty, too long or duplicate name, or a device identifier longer than 32 bytes.
    void checkEntries() const;

    // The problem an identifier would be for setDeviceId, if any.
    static std::optional<std::string> deviceIdProblem(const std::string& sId);

    // Every problem of the layout, each a one-line text, in the order the checks of
    // build() meet them: build() refuses with the first of them. A repeated name is
    // named with the slots of its files when they have one; an overlapping pair is named
    // in the order of the files' offsets (build() names it in table order).
    std::vector<std::string> listProblems() const;

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
    // Contents move in pieces of PIECE_SIZE bytes, so that no input is held twice.
    void write(const tSink& fPut) const;

  private:
    struct cSource {
        std::optional<uint64_t> iSize; // none: lContents holds the contents
        tReader fRead;                 // none: the size is all there is (setContentSize)
    };
    uint64_t contentSize(size_t iFile) const;
    void checkEntries(cProblems& oProblems) const;
    // Where each file lands; its problems go to oProblems.
    std::vector<uint32_t> checkLayout(cProblems& oProblems) const;
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
