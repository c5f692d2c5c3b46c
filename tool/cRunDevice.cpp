// Opening the device once for the whole run, and handing each command a copy of it.
#include "tool/cRunDevice.h"

#include <fcntl.h>
#include <unistd.h>

cRunDevice::cRunDevice(const std::string& sPath, bool bOpen) : sPath(sPath) {
    if (bOpen)
        oFile.iFd = ::open(sPath.c_str(), O_RDWR | O_CLOEXEC);
    if (oFile.iFd < 0) {
        bKnown = identifyDevice(sPath, oIdentity);
        return;
    }
    // Whatever was opened is what the run works on: if it cannot be told what it is,
    // nothing may be printed where it might be.
    if (!identifyDevice(oFile.iFd, oIdentity))
        throw std::string("unable to open device");
    bKnown = true;
}

cMtdDevice cRunDevice::open(tLock iLock) const {
    const int iCopy = oFile.iFd < 0 ? -1 : ::dup(oFile.iFd);
    if (iCopy < 0)
        throw std::string("unable to open device");
    return cMtdDevice(iCopy, sPath, iLock);
}
