// mktinyfs --program IMAGE DEVICE and --dump DEVICE FILE: a whole image onto the device
// as brellix writes one file (locked, only the pages that differ, every run read back,
// signals held), and the device into an image file, read twice and compared.
//
// --program orders its page programs so that a cut at any point, and a page torn at any
// byte, leaves DEVICE holding its old bytes, IMAGE, or a table whose header no brellix
// command mounts: while the device's table is valid, the header page is first programmed
// with its magic word cleared, then the other pages that differ, then the header page as
// IMAGE has it but with the word cleared, then as IMAGE has it. Each header program changes
// the magic word alone or keeps it cleared. That costs at most 2 page programs more than
// the pages that differ; when the device's table is already invalid, 1 more where the
// header page differs, none where it does not.
#pragma once

#include <string>

int programCommand(const std::string& sImage, const std::string& sDevice, bool bForce);
int dumpCommand(const std::string& sDevice, const std::string& sFile);
