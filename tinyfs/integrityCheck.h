// The integrity check of a mounted image, the one that brellix --check runs and mktinyfs
// --info reports: its phases in their order (the table's end and the media capacity, the
// boot-time capacity, then the contents), what each caller is told along the way, and the
// lines it ends with.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "tinyfs/cProgress.h"
#include "tinyfs/cTinyFs.h"

// What stands before a failure as the check's last line shows it.
constexpr char FATAL_PREFIX[] = "Fatal: ";

// What the caller is told and asked; every part may be left empty.
struct cCheckHooks {
    // A phase's line as it starts: "Checking media integrity...", ...
    std::function<void(const std::string& sPhase)> fPhase;
    // Each file in table order as its contents come up; bChecked is false for one that is
    // skipped, without a recorded checksum or at offset 0.
    std::function<void(const cTinyFsFile& oFile, bool bChecked)> fFile;
    // Whether the contents of the file at iIndex are known to agree, so that they are not
    // read again.
    std::function<bool(size_t iIndex)> fKnownGood;
    // Where a file's progress shows while its contents are read.
    cStatusLine oStatus;
    // Takes each failure of the contents (a checksum error, contents past the device end),
    // and the check goes on; without it the first is thrown.
    std::function<void(const std::string& sFinding)> fFinding;
};

// Runs the phases on oFs; throws the first failure but those fFinding takes. Returns the
// line the check ends with: clean, or, after findings, not ready for use.
std::string checkFileSystem(cTinyFs& oFs, const cCheckHooks& oHooks = {});

// What the check ends with on the device, mounting included, when it stops at the first
// failure; fKnownGood as in cCheckHooks.
struct cVerdict {
    bool bClean = false;
    std::string sMessage; // the last line, or the failure without FATAL_PREFIX
    std::string line() const { return bClean ? sMessage : FATAL_PREFIX + sMessage; }
};
cVerdict judgeDevice(cMtdDevice& oDevice, const std::function<bool(size_t iIndex)>& fKnownGood);
