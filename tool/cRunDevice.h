// The device of a run: its path, opened once before anything is printed, so that the
// check of the console and every command work on the one file that open reached, however
// the name changes meanwhile (a link switched, a node replaced).
#pragma once

#include <string>

#include "tinyfs/cMtdDevice.h"
#include "tinyfs/deviceIdentity.h"
#include "tinyfs/fileIo.h"

class cRunDevice {
  public:
    // Opens sPath read/write when bOpen (a command will use it), and identifies what was
    // opened; throws "unable to open device" when that cannot be looked at. A path that
    // cannot be opened is identified by what its name reaches now, and every command on
    // it fails with "unable to open device".
    cRunDevice(const std::string& sPath, bool bOpen);

    const std::string& getPath() const { return sPath; }
    // What the console is compared with; false when nothing is known (the name reaches
    // nothing, and no command can open it).
    bool isKnown() const { return bKnown; }
    const cDeviceIdentity& getIdentity() const { return oIdentity; }

    // The device for one command, on a copy of the run's descriptor, locked as iLock
    // (cMtdDevice): a later command sees what an earlier one wrote.
    cMtdDevice open(tLock iLock = LOCK_EXCLUSIVE) const;

  private:
    std::string sPath;
    cDescriptor oFile;
    cDeviceIdentity oIdentity;
    bool bKnown = false;
};
