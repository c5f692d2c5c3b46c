// The mktinyfs command: turns a command line of files and options into an image file,
// through the image builder. Arguments are read left to right; options after a file
// apply to that file.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "host/mktinyfs/cImageOutput.h"
#include "host/mktinyfs/cInputFile.h"
#include "host/mktinyfs/extractCommand.h"
#include "host/mktinyfs/manifestWords.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/layout.h"

namespace {

constexpr char PROGRAM[] = "mktinyfs";
constexpr uint64_t NUMBER_MAX = UINT32_MAX;
constexpr uint32_t DECIMAL = 10;
constexpr uint32_t HEXADECIMAL = 16;
constexpr size_t ARGUMENT_FILE_MAX = 1 << 20;
constexpr unsigned ARGUMENT_FILE_DEPTH = 16;

const char USAGE[] = R"(Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...
       mktinyfs --extract IMAGE DIR [--salvage]

Writes a complete tinyfs image of 0x840000 bytes to OUTPUT. The image is written
to a temporary file beside OUTPUT and renamed over it at the end.

FILE is NAME=PATH (the contents of the local file PATH) or NAME= (an empty file).
Names are 1 to 15 bytes and unique. Files enter the FAT in the order given. A
file without --offset goes to 0xc000 when it is the first, else to the first
page boundary (1056 bytes) after the previous file's contents and room.
Unused bytes are 0xff, as on erased flash.

Image options (anywhere on the line):
  --device-id ID   write the device-identifier record (at most 32 bytes)
  --mac TEXT       add the file "mac-address" holding TEXT, 17 characters such
                   as 00:11:22:33:44:55, after the other files, without checksum
  --help           show this text and exit

File options (apply to the FILE before them):
  --offset N       data offset (not inside the FAT, 0x4000..0xbfff)
  --room N         N bytes of room beyond the contents, for later rewrites
  --load ADDR      load address ADDR; sets flag bit 0x2
  --raw-load ADDR  load address ADDR without flag bit 0x2
  --x              set flag bit 0x4 (listed as X)
  --ax             set flag bit 0x8 (listed as Ax)
  --flags BITS     OR the raw BITS (at most 0xffff) into the flag bits
  --no-checksum    record checksum 0: the file's contents are not checked
  --checksum N     record the checksum N (at most 0xffff), whatever the contents
  --name NAME      the file's name instead of the part before "=", for names
                   with "=" or starting with "--" or "@"

Numbers are decimal or hexadecimal with 0x. Each file keeps clear of the others,
of the FAT and of the device end and, with --device-id, of the last 64 bytes
that hold the record; a file with a load address fits below the next higher
load address. Every image made passes "brellix --check".

@FILE (an argument, not an option's value) stands for the words written in FILE,
which may hold @FILEs too; its relative paths start from FILE's folder. Words
are separated by blanks and line ends; "#" starting a word starts a comment;
"..." quotes blanks; \\, \" and \xHH write a backslash, a quote, any byte.

--extract IMAGE DIR writes the files of IMAGE (any file of 0x840000 bytes) into
the new or empty folder DIR, with DIR/manifest, the arguments that build IMAGE
again: mktinyfs NEW-IMAGE @DIR/manifest. It prints one line per file, and exits
with status 1, one line per problem, when mktinyfs could not build IMAGE as it
is, and when a table cut short hides entries after its end: --salvage extracts
those too. IMAGE is locked as brellix locks it, DIR/manifest written last.

On any error mktinyfs prints one line "mktinyfs: MESSAGE" on standard error,
exits with status 1 and leaves OUTPUT as it was. On success it prints nothing
(but for the lines of --extract). A run that names no file leaves an OUTPUT
that holds an image with files as it is.

Example:
  mktinyfs --device-id BX-0042 --mac 00:11:22:33:44:55 board.img \
      kernel=zImage --load 0x20008000 --x --room 0x10000 \
      config=board.cfg --no-checksum log=
  mktinyfs --extract board.img board && mktinyfs copy.img @board/manifest
)";

// A FAT entry as given on the command line, before its contents are read.
struct cFileArgument {
    cImageFile oFile;
    std::string sPath; // empty for "NAME="
    bool bOffsetGiven = false;
    bool bRoomGiven = false;
    bool bLoadGiven = false;
    bool bChecksumGiven = false;
    bool bNameGiven = false;
};

struct cOptions {
    bool bHelp = false;
    std::optional<std::string> sOutput;
    std::optional<std::string> sDeviceId;
    std::optional<std::string> sMac;
    std::vector<cFileArgument> lFiles;
    std::optional<std::string> sExtractImage;
    std::string sExtractDir;
    bool bSalvage = false;
};

// An argument, and the folder its relative paths start from: an @FILE's own folder for
// the words read from it.
struct cWord {
    std::string sText;
    std::string sBase;
    unsigned iDepth = 0; // how many @FILEs it comes through
};

std::string resolve(const cWord& oWord, const std::string& sPath) {
    return sPath.empty() || sPath[0] == '/' ? sPath : oWord.sBase + sPath;
}

bool isDigitIn(char c, uint32_t iBase, uint32_t& iDigit) {
    if (c >= '0' && c <= '9')
        iDigit = uint32_t(c - '0');
    else if (iBase == HEXADECIMAL && c >= 'a' && c <= 'f')
        iDigit = uint32_t(c - 'a') + DECIMAL;
    else if (iBase == HEXADECIMAL && c >= 'A' && c <= 'F')
        iDigit = uint32_t(c - 'A') + DECIMAL;
    else
        return false;
    return true;
}

// Decimal or 0x-hexadecimal, 32 bits, nothing else: no sign, no blanks, no suffix.
uint32_t parseNumber(const std::string& sText, const std::string& sOption) {
    const bool bHex = sText.size() >= 2 && sText[0] == '0' && (sText[1] == 'x' || sText[1] == 'X');
    const uint32_t iBase = bHex ? HEXADECIMAL : DECIMAL;
    const std::string sDigits = bHex ? sText.substr(2) : sText;
    if (sDigits.empty())
        throw "invalid number " + quoteForMessage(sText) + " for " + sOption;
    uint64_t iValue = 0;
    for (const char c : sDigits) {
        uint32_t iDigit = 0;
        if (!isDigitIn(c, iBase, iDigit))
            throw "invalid number " + quoteForMessage(sText) + " for " + sOption;
        iValue = iValue * iBase + iDigit;
        if (iValue > NUMBER_MAX)
            throw "number " + quoteForMessage(sText) + " for " + sOption + " is out of range (at most " +
                hexForMessage(NUMBER_MAX) + ")";
    }
    return uint32_t(iValue);
}

class cArguments {
  public:
    cArguments(int iArgc, char** pArgv) {
        for (int i = 1; i < iArgc; ++i)
            lArgs.push_back({pArgv[i], "", 0});
    }

    cOptions parse() {
        cOptions oOptions;
        while (iNext < lArgs.size() && !oOptions.bHelp) {
            const cWord oArg = lArgs[iNext++];
            if (oArg.sText.size() > 1 && oArg.sText[0] == '@')
                expand(oArg);
            else if (oArg.sText.rfind("--", 0) == 0)
                parseOption(oArg.sText, oOptions);
            else
                parseWord(oArg, oOptions);
        }
        if (oOptions.bHelp)
            return oOptions;
        if (oOptions.sExtractImage) {
            if (oOptions.sOutput || !oOptions.lFiles.empty() || oOptions.sDeviceId || oOptions.sMac)
                throw std::string("--extract IMAGE DIR takes no other arguments but --salvage");
        } else if (oOptions.bSalvage) {
            throw std::string("--salvage goes with --extract IMAGE DIR");
        } else if (!oOptions.sOutput) {
            throw std::string("missing OUTPUT (try --help)");
        }
        return oOptions;
    }

  private:
    std::string value(const std::string& sOption) {
        if (iNext >= lArgs.size())
            throw sOption + " needs a value";
        return lArgs[iNext++].sText;
    }

    // @FILE: the words of FILE take its place; relative paths in them start from FILE's
    // folder.
    void expand(const cWord& oArg);

    static cFileArgument& currentFile(const std::string& sOption, cOptions& oOptions) {
        if (oOptions.lFiles.empty())
            throw sOption + " must follow a file (NAME=PATH or NAME=)";
        return oOptions.lFiles.back();
    }

    static void once(bool& bGiven, const std::string& sOption, const cFileArgument& oFile) {
        if (bGiven)
            throw sOption + " given twice for " + quoteForMessage(oFile.oFile.sName);
        bGiven = true;
    }

    void parseOption(const std::string& sOption, cOptions& oOptions) {
        if (sOption == "--help") {
            oOptions.bHelp = true;
        } else if (sOption == "--extract") {
            if (oOptions.sExtractImage)
                throw std::string("--extract given twice");
            oOptions.sExtractImage = value(sOption);
            oOptions.sExtractDir = value(sOption);
        } else if (sOption == "--salvage") {
            oOptions.bSalvage = true;
        } else if (sOption == "--name") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            once(oFile.bNameGiven, sOption, oFile);
            oFile.oFile.sName = value(sOption);
        } else if (sOption == "--checksum") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            once(oFile.bChecksumGiven, sOption, oFile);
            const std::string sSum = value(sOption);
            const uint32_t iSum = parseNumber(sSum, sOption);
            if (iSum > CHECKSUM_MASK)
                throw "--checksum " + quoteForMessage(sSum) + " does not fit 16 bits (at most 0xffff)";
            oFile.oFile.iChecksum = uint16_t(iSum);
        } else if (sOption == "--raw-load") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            once(oFile.bLoadGiven, "--load", oFile);
            oFile.oFile.iLoadAddress = parseNumber(value(sOption), sOption);
        } else if (sOption == "--device-id") {
            if (oOptions.sDeviceId)
                throw std::string("--device-id given twice");
            oOptions.sDeviceId = value(sOption);
        } else if (sOption == "--mac") {
            if (oOptions.sMac)
                throw std::string("--mac given twice");
            const std::string sMac = value(sOption);
            if (sMac.size() != MAC_TEXT_LENGTH)
                throw "--mac needs " + std::to_string(MAC_TEXT_LENGTH) +
                    " characters such as 00:11:22:33:44:55, not " + quoteForMessage(sMac);
            oOptions.sMac = sMac;
        } else if (sOption == "--offset") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            once(oFile.bOffsetGiven, sOption, oFile);
            oFile.oFile.iOffset = parseNumber(value(sOption), sOption);
        } else if (sOption == "--room") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            once(oFile.bRoomGiven, sOption, oFile);
            oFile.oFile.iExtraRoom = parseNumber(value(sOption), sOption);
        } else if (sOption == "--load") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            once(oFile.bLoadGiven, sOption, oFile);
            oFile.oFile.iLoadAddress = parseNumber(value(sOption), sOption);
            oFile.oFile.iFlagBits |= FLAG_LOAD_ADDRESS;
        } else if (sOption == "--x") {
            currentFile(sOption, oOptions).oFile.iFlagBits |= FLAG_X;
        } else if (sOption == "--ax") {
            currentFile(sOption, oOptions).oFile.iFlagBits |= FLAG_AX;
        } else if (sOption == "--flags") {
            cFileArgument& oFile = currentFile(sOption, oOptions);
            const std::string sBits = value(sOption);
            const uint32_t iBits = parseNumber(sBits, sOption);
            if (iBits > FLAG_BITS_MASK)
                throw "--flags " + quoteForMessage(sBits) + " does not fit the 16 flag bits (at most " +
                    hexForMessage(FLAG_BITS_MASK) + ")";
            oFile.oFile.iFlagBits |= uint16_t(iBits);
        } else if (sOption == "--no-checksum") {
            currentFile(sOption, oOptions).oFile.bChecksum = false;
        } else {
            throw "unknown option " + quoteForMessage(sOption) + " (try --help)";
        }
    }

    static void parseWord(const cWord& oWord, cOptions& oOptions) {
        const std::string& sWord = oWord.sText;
        const size_t iEquals = sWord.find('=');
        if (!oOptions.sOutput) {
            if (iEquals != std::string::npos)
                throw "missing OUTPUT: " + quoteForMessage(sWord) + " is a file, the image path comes first";
            if (sWord.empty())
                throw std::string("empty OUTPUT path");
            oOptions.sOutput = resolve(oWord, sWord);
            return;
        }
        if (iEquals == std::string::npos)
            throw quoteForMessage(sWord) + " is not a file (NAME=PATH or NAME=)";
        cFileArgument oFile;
        oFile.oFile.sName = sWord.substr(0, iEquals);
        oFile.sPath = resolve(oWord, sWord.substr(iEquals + 1));
        oOptions.lFiles.push_back(oFile);
    }

    std::vector<cWord> lArgs;
    size_t iNext = 0;
};

// Every input stays open from its measuring to its reading, up to 1023 of them and more
// than a soft limit of 1024 descriptors leaves room for: the hard limit applies.
void allowOpenInputs() {
    struct rlimit oLimit {};
    if (::getrlimit(RLIMIT_NOFILE, &oLimit) == 0 && oLimit.rlim_cur < oLimit.rlim_max) {
        oLimit.rlim_cur = oLimit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &oLimit);
    }
}

void cArguments::expand(const cWord& oArg) {
    const std::string sPath = resolve(oArg, oArg.sText.substr(1));
    if (oArg.iDepth >= ARGUMENT_FILE_DEPTH)
        throw "@FILEs nest more than " + std::to_string(ARGUMENT_FILE_DEPTH) + " deep at " +
            quoteForMessage(sPath) + " (does one name itself?)";
    const std::vector<std::string> lWords =
        splitWords(cInputFile(sPath).readWhole(ARGUMENT_FILE_MAX, "1 MiB"), "@" + sPath);
    const size_t iSlash = sPath.rfind('/');
    const std::string sBase = iSlash == std::string::npos ? "" : sPath.substr(0, iSlash + 1);
    std::vector<cWord> lExpanded;
    for (const std::string& sWord : lWords)
        lExpanded.push_back({sWord, sBase, oArg.iDepth + 1});
    lArgs.insert(lArgs.begin() + long(iNext), lExpanded.begin(), lExpanded.end());
}

int run(int iArgc, char** pArgv) {
    const cOptions oOptions = cArguments(iArgc, pArgv).parse();
    if (oOptions.bHelp) {
        std::fputs(USAGE, stdout);
        return EXIT_SUCCESS;
    }
    if (oOptions.sExtractImage)
        return extractImage(*oOptions.sExtractImage, oOptions.sExtractDir, oOptions.bSalvage);
    // Checks first, reading last: the names, then OUTPUT, then the inputs' sizes and the
    // layout; contents are read while the image is written.
    cImageBuilder oBuilder;
    for (const cFileArgument& oArgument : oOptions.lFiles)
        oBuilder.addFile(oArgument.oFile);
    if (oOptions.sMac)
        oBuilder.setMac(*oOptions.sMac);
    if (oOptions.sDeviceId)
        oBuilder.setDeviceId(*oOptions.sDeviceId);
    oBuilder.checkEntries();
    cImageOutput oOutput(*oOptions.sOutput, oOptions.lFiles.empty() && !oOptions.sMac);
    allowOpenInputs();
    std::vector<std::unique_ptr<cInputFile>> lInputs;
    uint64_t iHeld = 0;
    for (size_t i = 0; i < oOptions.lFiles.size(); ++i) {
        if (oOptions.lFiles[i].sPath.empty())
            continue;
        cInputFile& oInput = *lInputs.emplace_back(std::make_unique<cInputFile>(oOptions.lFiles[i].sPath));
        if (!oInput.isMeasured()) {
            oInput.readAhead(iHeld);
            iHeld += oInput.getSize();
        }
        oBuilder.setContents(i, oInput.getSize(),
                             [&oInput](uint8_t* pTo, size_t iLength) { oInput.readExactly(pTo, iLength); });
    }
    oBuilder.writeTo(oOutput);
    return EXIT_SUCCESS;
}

} // namespace

int main(int iArgc, char** pArgv) {
    try {
        return run(iArgc, pArgv);
    } catch (const std::string& sMessage) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, sMessage.c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: out of memory\n", PROGRAM);
    } catch (const std::exception& oError) {
        std::fprintf(stderr, "%s: %s\n", PROGRAM, oError.what());
    }
    return EXIT_FAILURE;
}
