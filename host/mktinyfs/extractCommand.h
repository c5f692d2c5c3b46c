// mktinyfs --extract IMAGE DIR: the image's files and a manifest written into a new folder.
#pragma once

#include <string>

// Prints one line per file, and one more when the manifest does not build the image
// byte for byte; returns the exit status: 1 when the image cannot be rebuilt as it is
// (each problem then has its line on standard error).
int extractImage(const std::string& sImage, const std::string& sDir, bool bSalvage);
