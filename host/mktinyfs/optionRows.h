// mktinyfs's options as rows: each names the option, where it applies, the value it
// takes and what it sets; the command line is read against them and the usage text is
// written from them.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"

// A FAT entry as given on the command line, before its contents are read.
struct cFileArgument {
    cImageFile oImageFile;
    std::string sPath;            // empty for "NAME="
    std::set<std::string> lGiven; // the options given for it that may be given once
};

// What a command line asks for.
struct cOptions {
    bool bHelp = false;
    std::optional<std::string> sOutput;
    std::optional<std::string> sDeviceId;
    std::optional<std::string> sMac;
    std::vector<cFileArgument> lFiles;
    std::optional<std::string> sExtractImage;
    std::string sExtractDir;
    bool bSalvage = false;
    std::vector<std::string> lImages; // --info IMAGE, or --diff OLD NEW
    bool bDiff = false;
    bool bJson = false;
    std::optional<std::string> sProgramImage; // --program IMAGE DEVICE
    std::optional<std::string> sDumpDevice;   // --dump DEVICE FILE
    std::string sDevice;                      // --program's DEVICE, --dump's FILE
    bool bForce = false;
    std::set<std::string> lGiven; // the options of the line given that may be given once
};

enum tOptionScope {
    SCOPE_IMAGE,     // anywhere on the line
    SCOPE_FILE,      // applies to the FILE before it
    SCOPE_EXTRACT,   // anywhere on the line, for --extract; the usage text tells of it apart
    SCOPE_INFO_DIFF, // anywhere on the line, for --info and --diff; told of apart too
    SCOPE_DEVICE,    // anywhere on the line, for --program and --dump; told of apart too
};

// What an option's row sets: the options read so far, the file a file option applies
// to, and the words after the option, taken one at a time.
struct cSetting {
    cOptions& oOptions;
    cFileArgument* pFile; // null but for SCOPE_FILE
    const char* sOption;
    std::function<std::string()> fValue; // the next word; throws "OPTION needs a value"
};

struct cOptionRow {
    const char* sName;
    tOptionScope iScope;
    const char* sValue; // what the usage text calls its value; "" for none
    const char* sOnce;  // the name "given twice" reports it by; nullptr when it may repeat
    void (*fSet)(const cSetting& oSetting);
    const char* sHelp; // its lines in the usage text; "" for none
};

// The row of the option sOption, or null.
const cOptionRow* findOption(const std::string& sOption);

// The text of --help.
std::string usageText();
