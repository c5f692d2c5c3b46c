// The one opening of an image that mktinyfs reads (--extract, --info, --diff and the IMAGE
// of --program): opened first, then checked by what was opened, then held still under the
// lock brellix shares with other readers, through the class brellix reads the flash with.
#pragma once

#include <string>
#include <sys/stat.h>

#include "tinyfs/cMtdDevice.h"

// Opens sPath read-only without blocking (a FIFO without a writer must not hang) and
// refuses, by what the descriptor is, anything but a regular file of DEVICE_SIZE bytes or,
// with bNodes, a character or block device node; then locks it shared for as long as the
// device lives, so that no brellix --write changes it between the reads. oOpened gets what
// was opened. Throws "cannot read \"PATH\": REASON", "\"PATH\" is not an image of 0x840000
// bytes: PROBLEM", or the lock's own messages (cMtdDevice).
cMtdDevice openImage(const std::string& sPath, bool bNodes, struct stat& oOpened);
