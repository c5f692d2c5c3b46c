// Local file streams.
#include "tool/cLocalFile.h"

cLocalFile::cLocalFile(const std::string& sPath, const char* sMode)
    : pFile(std::fopen(sPath.c_str(), sMode)) {
    if (pFile == nullptr)
        throw "unable to open file (" + sPath + ")";
}

cLocalFile::~cLocalFile() {
    if (pFile != nullptr)
        std::fclose(pFile);
}

bool cLocalFile::close() {
    FILE* pClosing = pFile;
    pFile = nullptr;
    return std::fclose(pClosing) == 0;
}
