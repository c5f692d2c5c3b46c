// mktinyfs --program IMAGE DEVICE and --dump DEVICE FILE: a whole image onto the device
// as brellix writes one file (locked, only the pages that differ, every run read back,
// signals held), and the device into an image file, read twice and compared.
//
// --program orders its page programs so that a cut at any point leaves DEVICE holding
// its old bytes, IMAGE, or a table whose header no brellix command mounts: while the
// device's table is valid and pages other than its header page differ, the header page
// is first programmed with the header's magic word cleared, the other pages next, the
// header page last. That costs one page program more than the pages that differ when
// the header page differs, two when it does not, none otherwise.
#pragma once

#include <string>

int programCommand(const std::string& sImage, const std::string& sDevice, bool bForce);
int dumpCommand(const std::string& sDevice, const std::string& sFile);
