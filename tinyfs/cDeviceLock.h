// The locks a run holds on the device while it has it open: an advisory lock on the node
// it opened, and, for a device node, one on a lock file named after the device number,
// which every node of the device shares (another made by mknod, a container's own /dev).
#pragma once

#include <string>
#include <sys/stat.h>

#include "tinyfs/fileIo.h"

// How a run shares the device with other runs: readers together, a writer alone.
enum tLock { LOCK_SHARED, LOCK_EXCLUSIVE };

class cDeviceLock {
  public:
    // Locks the open node iNodeFd (described by oNode), then the device's lock file,
    // waiting a few seconds in all for other runs to let go; throws "device is locked by
    // another process (path)" or "unable to lock device (path)", and, when the lock
    // directory or the lock file is not root's alone, "untrusted lock directory DIR
    // (KIND, mode MODE, owner uid N)" or "unusable lock file FILE (KIND, mode MODE, owner
    // uid N)". The node's lock lasts as long as its descriptor.
    cDeviceLock(int iNodeFd, const struct stat& oNode, const std::string& sPath, tLock iLock);
    // Lets go of the lock file, and removes it when no other run holds it.
    ~cDeviceLock();

    cDeviceLock(const cDeviceLock&) = delete;
    cDeviceLock& operator=(const cDeviceLock&) = delete;

  private:
    // Opens the lock directory into oDirectory, making it when missing; false when the
    // run locks the node alone (not root, no /run).
    bool openDirectory(const std::string& sPath);
    // Locks the lock file sName, made when missing, into oFile: 0, or EWOULDBLOCK when
    // another run held it for all of iTries.
    int lockFile(const std::string& sName, int iOperation, int& iTries);

    cDescriptor oDirectory;
    cDescriptor oFile;
    std::string sFileName; // within the directory
};
