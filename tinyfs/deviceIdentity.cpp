// Device numbers and inodes as the identity of a device.
#include "tinyfs/deviceIdentity.h"

#include <sys/sysmacros.h>

namespace {

bool isNode(const struct stat& oFile) {
    return S_ISCHR(oFile.st_mode) || S_ISBLK(oFile.st_mode);
}

} // namespace

tAlias aliasOf(const struct stat& oDevice, const struct stat& oOther) {
    const bool bSameFile = oDevice.st_dev == oOther.st_dev && oDevice.st_ino == oOther.st_ino;
    const bool bSameNode = isNode(oDevice) && (oDevice.st_mode & S_IFMT) == (oOther.st_mode & S_IFMT) &&
                           oDevice.st_rdev == oOther.st_rdev;
    if (bSameFile || bSameNode)
        return ALIAS_SAME;
    return S_ISBLK(oOther.st_mode) ? ALIAS_BLOCK : ALIAS_NONE;
}

std::string identityName(const struct stat& oDevice) {
    if (!isNode(oDevice))
        return "";
    return std::string(S_ISCHR(oDevice.st_mode) ? "chr-" : "blk-") + std::to_string(major(oDevice.st_rdev)) +
           "-" + std::to_string(minor(oDevice.st_rdev));
}
