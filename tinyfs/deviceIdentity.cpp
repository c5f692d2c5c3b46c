// Device numbers and inodes as the identity of a device, and the loop driver's account of
// the file behind a loop device.
#include "tinyfs/deviceIdentity.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/loop.h>
#include <linux/magic.h>
#include <linux/major.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
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

// The mount table: one line a mount, words parted by spaces, the device number third,
// then, after a word "-", the file system type, its source and its options.
constexpr char MOUNT_TABLE[] = "/proc/self/mountinfo";
constexpr size_t DEVICE_WORD = 2;
constexpr size_t READ_CHUNK = 4096;
constexpr char OVERLAY[] = "overlay";
// The options of an overlay that name its layers, as overlayfs writes them.
const char* const LAYER_OPTIONS[] = {"lowerdir=", "upperdir=", "lowerdir+=", "datadir+="};
constexpr int OCTAL_BASE = 8;
constexpr size_t OCTAL_ESCAPE = 4; // "\040": a backslash and three octal digits

std::vector<std::string> split(const std::string& sText, char cSeparator) {
    std::vector<std::string> lParts(1);
    for (const char c : sText) {
        if (c == cSeparator)
            lParts.emplace_back();
        else
            lParts.back() += c;
    }
    return lParts;
}

// A word of the mount table with its octal escapes ("\040" for a space) undone.
std::string unescape(const std::string& sWord) {
    std::string sPlain;
    for (size_t i = 0; i < sWord.size(); ++i) {
        int iCode = 0;
        size_t iDigits = 0;
        while (sWord[i] == '\\' && iDigits + 1 < OCTAL_ESCAPE && i + iDigits + 1 < sWord.size() &&
               sWord[i + iDigits + 1] >= '0' && sWord[i + iDigits + 1] < '0' + OCTAL_BASE)
            iCode = iCode * OCTAL_BASE + (sWord[i + ++iDigits] - '0');
        if (iDigits + 1 == OCTAL_ESCAPE) {
            sPlain += char(iCode);
            i += iDigits;
        } else {
            sPlain += sWord[i];
        }
    }
    return sPlain;
}

// What the mount table says of stacking: the device number of every mount, those of the
// overlays, and those of the file systems their layers lie on; false when a layer cannot
// be looked at (a path relative to another root, a layer gone), or there is no table.
bool readMounts(std::vector<dev_t>& lMounts, std::vector<dev_t>& lOverlays, std::vector<dev_t>& lLayers) {
    const cDescriptor oTable(::open(MOUNT_TABLE, O_RDONLY | O_CLOEXEC));
    std::string sTable;
    ssize_t iGot = 0;
    do {
        sTable.resize(sTable.size() + READ_CHUNK);
        iGot =
            readAll(oTable.iFd, reinterpret_cast<uint8_t*>(&sTable[sTable.size() - READ_CHUNK]), READ_CHUNK);
        sTable.resize(sTable.size() - READ_CHUNK + size_t(std::max<ssize_t>(iGot, 0)));
    } while (iGot == ssize_t(READ_CHUNK));
    bool bKnown = iGot >= 0;
    for (const std::string& sLine : split(sTable, '\n')) {
        const std::vector<std::string> lWords = split(sLine, ' ');
        const auto oDash = std::find(lWords.begin(), lWords.end(), "-");
        unsigned iMajor = 0, iMinor = 0;
        if (lWords.end() - oDash < 4 || lWords.size() <= DEVICE_WORD ||
            std::sscanf(lWords[DEVICE_WORD].c_str(), "%u:%u", &iMajor, &iMinor) != 2)
            continue;
        lMounts.push_back(makedev(iMajor, iMinor));
        if (oDash[1] != OVERLAY)
            continue;
        lOverlays.push_back(lMounts.back());
        for (const std::string& sOption : split(oDash[3], ',')) {
            for (const char* sLayers : LAYER_OPTIONS) {
                const std::string sKey = sLayers;
                if (sOption.compare(0, sKey.size(), sKey) != 0)
                    continue;
                for (const std::string& sLayer : split(sOption.substr(sKey.size()), ':')) {
                    struct stat oLayer;
                    const std::string sPath = unescape(sLayer);
                    if (sPath.empty() || sPath[0] != '/' || ::stat(sPath.c_str(), &oLayer) != 0)
                        bKnown = false;
                    else
                        lLayers.push_back(oLayer.st_dev);
                }
            }
        }
    }
    return bKnown;
}

bool contains(const std::vector<dev_t>& lDevices, dev_t iDevice) {
    return std::find(lDevices.begin(), lDevices.end(), iDevice) != lDevices.end();
}

// A file on an overlay has other names in its layers (and there, before the overlay
// copies it up, the bytes it shows), under other device numbers and inodes: nothing tells
// which file of a layer, or of another overlay on the same layers, a file of an overlay
// is. So where the file behind the loop device is stacked, every regular file where it
// may show counts as it.
void findStacking(cDeviceIdentity& oDevice) {
    std::vector<dev_t> lMounts, lOverlays, lLayers;
    const bool bKnown = readMounts(lMounts, lOverlays, lLayers);
    const dev_t iBacking = oDevice.iBackingDevice;
    // A file on an overlay whose layers lie on other file systems shows the device
    // number overlayfs gives its layer, which no mount has.
    const bool bOnOverlay =
        contains(lOverlays, iBacking) || (!lOverlays.empty() && !contains(lMounts, iBacking));
    if (!bOnOverlay) {
        oDevice.bOnOverlays = !bKnown || contains(lLayers, iBacking);
        return;
    }
    if (!bKnown) {
        oDevice.iBacking = BACKING_UNKNOWN;
        return;
    }
    oDevice.lUntold = lLayers;
    oDevice.lUntold.push_back(iBacking);
    oDevice.bOnOverlays = true;
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
        findStacking(oDevice);
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

tAlias aliasOf(const cDeviceIdentity& oDevice, const struct stat& oOther, bool bOnOverlay) {
    const struct stat& oNode = oDevice.oNode;
    const bool bSameFile = oNode.st_dev == oOther.st_dev && oNode.st_ino == oOther.st_ino;
    const bool bSameNode = isNode(oNode) && (oNode.st_mode & S_IFMT) == (oOther.st_mode & S_IFMT) &&
                           oNode.st_rdev == oOther.st_rdev;
    const bool bBehind = oDevice.iBacking == BACKING_FILE && oDevice.iBackingDevice == oOther.st_dev &&
                         oDevice.iBackingInode == oOther.st_ino;
    const bool bMaybeBehind = S_ISREG(oOther.st_mode) && (oDevice.iBacking == BACKING_UNKNOWN ||
                                                          contains(oDevice.lUntold, oOther.st_dev) ||
                                                          (oDevice.bOnOverlays && bOnOverlay));
    if (bSameFile || bSameNode || bBehind || bMaybeBehind)
        return ALIAS_SAME;
    return S_ISBLK(oOther.st_mode) ? ALIAS_BLOCK : ALIAS_NONE;
}

std::string identityName(const struct stat& oDevice) {
    if (!isNode(oDevice))
        return "file-" + std::to_string(major(oDevice.st_dev)) + "-" + std::to_string(minor(oDevice.st_dev)) +
               "-" + std::to_string(oDevice.st_ino);
    return std::string(S_ISCHR(oDevice.st_mode) ? "chr-" : "blk-") + std::to_string(major(oDevice.st_rdev)) +
           "-" + std::to_string(minor(oDevice.st_rdev));
}

bool isOnOverlay(int iFd) {
    struct statfs oFileSystem;
    return ::fstatfs(iFd, &oFileSystem) == 0 && oFileSystem.f_type == OVERLAYFS_SUPER_MAGIC;
}

bool isOnOverlay(const std::string& sPath) {
    struct statfs oFileSystem;
    return ::statfs(sPath.c_str(), &oFileSystem) == 0 && oFileSystem.f_type == OVERLAYFS_SUPER_MAGIC;
}
