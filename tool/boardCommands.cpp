// The board settings: the MAC address in the file "mac-address", and the device
// identifier in its record at the end of the device.
#include <vector>

#include "tinyfs/boardSettings.h"
#include "tinyfs/cMtdDevice.h"
#include "tinyfs/cSignalHold.h"
#include "tinyfs/cTinyFs.h"
#include "tool/commands.h"
#include "tool/console.h"

void setMac(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    const std::string sMac = oCmdLine.getParameter("--set-mac").getValue();
    if (sMac.size() != MAC_TEXT_LENGTH)
        throw "Invalid MAC-Address (\"" + sMac + "\"";
    printInfo("Using new MAC-Address \"" + sMac + "\".");

    cMtdDevice oDevice = oRun.open();
    cTinyFs oFs(oDevice);
    // Only the text changes: size, checksum and FAT entry of the file stay.
    cSignalHold oHold(oDevice, "--set-mac");
    oFs.find(MAC_FILE_NAME).patch(reinterpret_cast<const uint8_t*>(sMac.data()), MAC_TEXT_LENGTH);
    oHold.release();
}

void getMac(cCmdLine&, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    cTinyFs oFs(oDevice);
    printInfo("Current MAC-Address: " + readMacAddress(oFs.find(MAC_FILE_NAME)));
}

void setDeviceId(cCmdLine& oCmdLine, const cRunDevice& oRun) {
    const std::string sId = oCmdLine.getParameter("--set-device-id").getValue();
    if (sId.size() > DEVICE_ID_MAX)
        throw std::string("Device id too large (max 32 characters)");
    cMtdDevice oDevice = oRun.open();
    const std::vector<uint8_t> lRecord = encodeDeviceId(sId);
    cSignalHold oHold(oDevice, "--set-device-id");
    oDevice.write(DEVICE_ID_AREA, lRecord.data(), uint32_t(lRecord.size()));
    oHold.release();
}

void getDeviceId(cCmdLine&, const cRunDevice& oRun) {
    cMtdDevice oDevice = oRun.open(LOCK_SHARED);
    std::vector<uint8_t> lArea(DEVICE_ID_AREA_SIZE);
    oDevice.read(DEVICE_ID_AREA, lArea.data(), DEVICE_ID_AREA_SIZE);
    std::string sId;
    if (!decodeDeviceId(lArea.data(), sId))
        throw std::string("No device id!");
    printText(sId + "\n");
}
