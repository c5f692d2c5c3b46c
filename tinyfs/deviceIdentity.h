// What identifies a device whatever name reaches it: for telling its other names apart
// from other files, and for naming the lock that every name of it shares.
#pragma once

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

// How a file may reach the storage of a device.
enum tAlias {
    ALIAS_NONE,  // another file
    ALIAS_SAME,  // the same file, a node of the same character or block device, or the
                 // file behind a loop device
    ALIAS_BLOCK, // another block device, which may still be the same storage
};

// What is known of the file whose bytes a loop device shows.
enum tBacking {
    BACKING_NONE,    // not a loop device, or one bound to no file
    BACKING_FILE,    // the file iBackingDevice/iBackingInode
    BACKING_UNKNOWN, // a loop device that would not say
};

// A device as its names reach it: the node (or image file) as fstat describes it, and for
// a loop device the file behind it, as the loop driver reports it.
struct cDeviceIdentity {
    struct stat oNode = {};
    tBacking iBacking = BACKING_NONE;
    dev_t iBackingDevice = 0;
    ino_t iBackingInode = 0;
    // Where the file behind the loop device is stacked (an overlay file system, or one
    // that is a layer of an overlay), its other names there have other identities: every
    // regular file on these file systems may be it, and, when bOnOverlays, every regular
    // file on an overlay too.
    std::vector<dev_t> lUntold;
    bool bOnOverlays = false;
};

// The identity of the device open as iFd; false when fstat fails. A loop device (and
// nothing else) is asked which file it shows, with a query that changes nothing.
bool identifyDevice(int iFd, cDeviceIdentity& oDevice);
// The identity of the device named sPath, opened read-only for the query only when the
// name is a loop device; false when the name reaches nothing.
bool identifyDevice(const std::string& sPath, cDeviceIdentity& oDevice);

// How the file oOther (as stat describes it; bOnOverlay: it lies on an overlay file system)
// relates to oDevice. Any block device counts as a possible alias: the block node of an
// MTD device and a loop device over an image file reach the same bytes under another
// device number. Where a loop device would not name its file, every regular file may be
// it, and where its file is stacked, every regular file that lUntold names.
tAlias aliasOf(const cDeviceIdentity& oDevice, const struct stat& oOther, bool bOnOverlay = false);
// Whether the open file iFd, or the file sPath names, lies on an overlay file system.
bool isOnOverlay(int iFd);
bool isOnOverlay(const std::string& sPath);

// A name, usable as a file name, that every name of the device shares: for a node its
// type and device number ("chr-90-0"), for anything else (an image file, whose names,
// links and bind mounts, all reach one inode) the device number of its file system and
// its inode ("file-8-1-1234").
std::string identityName(const struct stat& oDevice);
