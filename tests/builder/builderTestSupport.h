// Helpers for the image builder's tests: files described in one line, and images
// mounted through the storage layer from a scratch file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "tests/support/cRunResult.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cTinyFs.h"

inline std::vector<uint8_t> bytesOf(const std::string& sText) {
    return std::vector<uint8_t>(sText.begin(), sText.end());
}

// iSize bytes of a repeating pattern that never contains 0xFF, so contents can be told
// apart from erased flash.
inline std::vector<uint8_t> patternBytes(uint32_t iSize, uint8_t iSeed) {
    constexpr uint32_t PATTERN_PERIOD = 251;
    std::vector<uint8_t> lBytes(iSize);
    for (uint32_t i = 0; i < iSize; ++i)
        lBytes[i] = uint8_t((i + iSeed) % PATTERN_PERIOD);
    return lBytes;
}

inline cImageFile fileOf(const std::string& sName, uint32_t iSize,
                         std::optional<uint32_t> iOffset = std::nullopt, uint32_t iExtraRoom = 0) {
    cImageFile oFile;
    oFile.sName = sName;
    oFile.lContents = patternBytes(iSize, uint8_t(sName.size()));
    oFile.iOffset = iOffset;
    oFile.iExtraRoom = iExtraRoom;
    return oFile;
}

// An image written to a scratch file and mounted as the tool mounts a device.
class cMountedImage {
  public:
    explicit cMountedImage(const std::vector<uint8_t>& lImage) : sPath(oDir.file("image.bin")) {
        writeBytes(sPath, std::vector<unsigned char>(lImage.begin(), lImage.end()));
        pDevice = std::make_unique<cMtdDevice>(sPath);
        pFs = std::make_unique<cTinyFs>(*pDevice);
    }

    cTinyFs& fs() { return *pFs; }
    std::vector<cTinyFsFile>& files() { return pFs->getFiles(); }
    const std::string& path() const { return sPath; }

  private:
    cTempDir oDir;
    std::string sPath;
    std::unique_ptr<cMtdDevice> pDevice;
    std::unique_ptr<cTinyFs> pFs;
};

// The message build() throws, or "" when it succeeds.
inline std::string buildError(const cImageBuilder& oBuilder) {
    try {
        oBuilder.build();
    } catch (const std::string& sMessage) {
        return sMessage;
    }
    return "";
}
