// The locks a run holds on the device while it has it open: a lock on the node (or image
// file) it opened, and, for root's runs, one on a lock file of root's named after what the
// device is, which every name of it shares (another node made by mknod, a container's own
// /dev, a link or bind mount of an image file).
#pragma once

#include <string>
#include <sys/stat.h>

#include "tinyfs/fileIo.h"

// How a run shares the device with other runs: readers together, a writer alone.
enum tLock { LOCK_SHARED, LOCK_EXCLUSIVE };

class cDeviceLock {
  public:
    // Locks the open node iNodeFd (described by oNode) and, in root's runs, the device's lock
    // file, waiting a few seconds in all for other runs to let go; throws "device is locked
    // by another process (path)" or "unable to lock device (path)", and, when the lock
    // directory, its parent or the lock file could be changed or held by another account,
    // "untrusted lock directory DIR (KIND, mode MODE, owner uid N)" or "unusable lock file
    // FILE (KIND, mode MODE, owner uid N)". iNodeFd must stay open as long as the lock.
    cDeviceLock(int iNodeFd, const struct stat& oNode, const std::string& sPath, tLock iLock);
    // Lets go of the node and of the lock file, and removes the lock file when no other run
    // holds it.
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
    // Sets the node's lock to iType (a record lock's F_RDLCK, F_WRLCK or F_UNLCK): 0, or the
    // errno of the last try (EWOULDBLOCK when another run held it for all of iTries).
    int lockNode(short iType, int& iTries);

    int iNode;
    cDescriptor oDirectory;
    cDescriptor oFile;
    std::string sFileName; // within the directory
};
