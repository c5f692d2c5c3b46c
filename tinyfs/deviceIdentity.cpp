// Device numbers and inodes as the identity of a device, and the loop driver's account of
// the file behind a loop device.
#include "tinyfs/deviceIdentity.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/loop.h>
#include <linux/major.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>

#include "tinyfs/fileIo.h"

namespace {

// Only looks: never waits on the name, never makes it a controlling terminal.
constexpr int QUERY_FLAGS = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool isNode(const struct stat& oFile) {
    return S_ISCHR(oFile.st_mode) || S_ISBLK(oFile.st_mode);
}

bool isLoop(const struct stat& oFile) {
    return S_ISBLK(oFile.st_mode) && major(oFile.st_rdev) == LOOP_MAJOR;
}

// The loop driver reports device numbers in the kernel's 32-bit encoding: the minor
// number's low byte, then 12 bits of major number, then the minor number's other bits.
constexpr int MINOR_LOW_BITS = 8;
constexpr uint64_t MINOR_LOW_MASK = 0xff;
constexpr uint64_t MAJOR_MASK = 0xfff;
constexpr int MINOR_HIGH_SHIFT = 12; // from their place in the encoding to their place in the minor
constexpr uint64_t MINOR_HIGH_MASK = 0xfff00;

dev_t kernelDevice(uint64_t iEncoded) {
    const uint64_t iMajor = (iEncoded >> MINOR_LOW_BITS) & MAJOR_MASK;
    const uint64_t iMinor = (iEncoded & MINOR_LOW_MASK) | ((iEncoded >> MINOR_HIGH_SHIFT) & MINOR_HIGH_MASK);
    return makedev(iMajor, iMinor);
}

} // namespace

bool identifyDevice(int iFd, cDeviceIdentity& oDevice) {
    oDevice = cDeviceIdentity();
    if (::fstat(iFd, &oDevice.oNode) != 0)
        return false;
    if (!isLoop(oDevice.oNode))
        return true;
    loop_info64 oInfo = {};
    if (::ioctl(iFd, LOOP_GET_STATUS64, &oInfo) == 0) {
        oDevice.iBacking = BACKING_FILE;
        oDevice.iBackingDevice = kernelDevice(oInfo.lo_device);
        oDevice.iBackingInode = ino_t(oInfo.lo_inode);
    } else {
        oDevice.iBacking = errno == ENXIO ? BACKING_NONE : BACKING_UNKNOWN; // ENXIO: bound to nothing
    }
    return true;
}

bool identifyDevice(const std::string& sPath, cDeviceIdentity& oDevice) {
    oDevice = cDeviceIdentity();
    if (::stat(sPath.c_str(), &oDevice.oNode) != 0)
        return false;
    if (!isLoop(oDevice.oNode))
        return true;
    const cDescriptor oNode(::open(sPath.c_str(), QUERY_FLAGS));
    if (oNode.iFd < 0 || !identifyDevice(oNode.iFd, oDevice))
        oDevice.iBacking = BACKING_UNKNOWN;
    return true;
}

tAlias aliasOf(const cDeviceIdentity& oDevice, const struct stat& oOther) {
    const struct stat& oNode = oDevice.oNode;
    const bool bSameFile = oNode.st_dev == oOther.st_dev && oNode.st_ino == oOther.st_ino;
    const bool bSameNode = isNode(oNode) && (oNode.st_mode & S_IFMT) == (oOther.st_mode & S_IFMT) &&
                           oNode.st_rdev == oOther.st_rdev;
    const bool bBehind = oDevice.iBacking == BACKING_FILE && oDevice.iBackingDevice == oOther.st_dev &&
                         oDevice.iBackingInode == oOther.st_ino;
    const bool bMaybeBehind = oDevice.iBacking == BACKING_UNKNOWN && S_ISREG(oOther.st_mode);
    if (bSameFile || bSameNode || bBehind || bMaybeBehind)
        return ALIAS_SAME;
    return S_ISBLK(oOther.st_mode) ? ALIAS_BLOCK : ALIAS_NONE;
}

std::string identityName(const struct stat& oDevice) {
    if (!isNode(oDevice))
        return "";
    return std::string(S_ISCHR(oDevice.st_mode) ? "chr-" : "blk-") + std::to_string(major(oDevice.st_rdev)) +
           "-" + std::to_string(minor(oDevice.st_rdev));
}
