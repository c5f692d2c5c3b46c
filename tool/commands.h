// The tool's commands. Each opens the flash itself from the device path, does its work
// and closes it again, so a later command sees what an earlier one wrote.
#pragma once

#include <string>

#include "cmdline/cCmdLine.h"

// Files of the image.
void listFiles(cCmdLine& oCmdLine, const std::string& sDevicePath);
void testExists(cCmdLine& oCmdLine, const std::string& sDevicePath);
void readFile(cCmdLine& oCmdLine, const std::string& sDevicePath);
void readFileToStdout(cCmdLine& oCmdLine, const std::string& sDevicePath);
void renameFile(cCmdLine& oCmdLine, const std::string& sDevicePath);
void writeFile(cCmdLine& oCmdLine, const std::string& sDevicePath);

// Integrity check.
void checkFilesystem(cCmdLine& oCmdLine, const std::string& sDevicePath);

// Board settings.
void setMac(cCmdLine& oCmdLine, const std::string& sDevicePath);
void getMac(cCmdLine& oCmdLine, const std::string& sDevicePath);
void setDeviceId(cCmdLine& oCmdLine, const std::string& sDevicePath);
void getDeviceId(cCmdLine& oCmdLine, const std::string& sDevicePath);
