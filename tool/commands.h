// The tool's commands. Each takes the device from the run's one opening of it, locks it,
// does its work and lets go of it again, so a later command sees what an earlier one wrote.
#pragma once

#include <string>

#include "cmdline/cCmdLine.h"
#include "tool/cRunDevice.h"

// Files of the image.
void listFiles(cCmdLine& oCmdLine, const cRunDevice& oRun);
void testExists(cCmdLine& oCmdLine, const cRunDevice& oRun);
void readFile(cCmdLine& oCmdLine, const cRunDevice& oRun);
void readFileToStdout(cCmdLine& oCmdLine, const cRunDevice& oRun);
void renameFile(cCmdLine& oCmdLine, const cRunDevice& oRun);
void writeFile(cCmdLine& oCmdLine, const cRunDevice& oRun);

// Integrity check.
void checkFilesystem(cCmdLine& oCmdLine, const cRunDevice& oRun);

// Board settings.
void setMac(cCmdLine& oCmdLine, const cRunDevice& oRun);
void getMac(cCmdLine& oCmdLine, const cRunDevice& oRun);
void setDeviceId(cCmdLine& oCmdLine, const cRunDevice& oRun);
void getDeviceId(cCmdLine& oCmdLine, const cRunDevice& oRun);
