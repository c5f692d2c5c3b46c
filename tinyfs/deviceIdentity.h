// What identifies a device whatever name reaches it: for telling its other names apart
// from other files, and for naming the lock that every name of it shares.
#pragma once

#include <string>
#include <sys/stat.h>

// How a file may reach the storage of a device.
enum tAlias {
    ALIAS_NONE,  // another file
    ALIAS_SAME,  // the same file, or a node of the same character or block device
    ALIAS_BLOCK, // another block device, which may still be the same storage
};

// How the file oOther (as stat describes it) relates to the device oDevice. Any block
// device counts as a possible alias: the block node of an MTD device and a loop device
// over an image file reach the same bytes under another device number.
tAlias aliasOf(const struct stat& oDevice, const struct stat& oOther);

// A name, usable as a file name, that every node of the device shares: its type and
// device number. Empty for anything else (an image file), whose names (links, bind
// mounts) all reach one inode, which a lock on any of them locks.
std::string identityName(const struct stat& oDevice);
