// A mounted tinyfs image: the FAT loaded from a device, the entries in FAT order, the
// capacity rule, FAT write-back and the consistency checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFsFile.h"

class cTinyFs {
  public:
    // Loads the FAT; throws "invalid image" when the header's magic word is wrong.
    explicit cTinyFs(cMtdDevice& pDevice);
    ~cTinyFs() = default; // writes nothing back

    // One file system per device and table: a copy would be a second table to write back.
    cTinyFs(const cTinyFs&) = delete;
    cTinyFs& operator=(const cTinyFs&) = delete;

    const std::vector<cTinyFsFile>& getFiles() const { return lFiles; }
    cMtdDevice& getDevice() { return *pDevice; }

    // By exact name, or by "%N", the 0-based position in FAT order; throws
    // "file entry not found (\"name\")".
    cTinyFsFile& find(const std::string& sName);

    // Writes the FAT back as layOutFat lays it out, nothing for a table loaded without
    // entries; the slots after it keep their bytes, and only pages whose bytes change are
    // programmed.
    void writeFat();

    // Throws "CheckSum error: 0x<computed> != 0x<stored>!" when the contents don't match.
    void verifyChecksum(const cTinyFsFile& oEntry, const tProgress& fProgress = {});

    // Throws "Filesystem corrupt: table ends at slot <n>, but slot <m> holds file \"name\""
    // when a slot after the one that ends the table is shaped like a file entry: the
    // table was cut short, and the files after the cut are missing from it.
    void checkTableEnd() const;

    // Throws "Filesystem corrupt: File \"name\" too big!" for the first entry whose size
    // exceeds its capacity (with bBootTime, the boot-time one).
    void checkIntegrity(bool bBootTime) const;

  private:
    cMtdDevice* pDevice;
    std::vector<cTinyFsFile> lFiles; // fixed once loaded
    uint32_t iStraySlot = 0;         // the first entry-shaped slot after the end slot, or 0
    std::string sStrayName;
};
