// mktinyfs --info IMAGE and --diff OLD NEW: what an image holds and what differs between
// two, for people or as JSON. They return their exit status (0 clean or the same, 1
// problems or differences); trouble is thrown, and main ends it with INFO_DIFF_TROUBLE.
#pragma once

#include <string>
#include <sys/stat.h>

#include "host/mktinyfs/imageReport.h"

constexpr int INFO_DIFF_TROUBLE = 2;

int infoCommand(const std::string& sImage, bool bJson);
int diffCommand(const std::string& sOld, const std::string& sNew, bool bJson);

// What the image sPath holds, opened by openImage (with bNodes a device node too) and read
// whole under the shared lock, which ends with the reading; oOpened gets what was opened.
cImageReport readReport(const std::string& sPath, bool bNodes, struct stat& oOpened);
