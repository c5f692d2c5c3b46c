// The mktinyfs command: turns a command line of files and options into an image file,
// through the image builder. Arguments are read left to right; options after a file
// apply to that file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/mktinyfs/cImageBuilder.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/fileIo.h"
#include "tinyfs/layout.h"

namespace {

constexpr char PROGRAM[] = "mktinyfs";
constexpr uint64_t NUMBER_MAX = UINT32_MAX;
constexpr uint32_t DECIMAL = 10;
constexpr uint32_t HEXADECIMAL = 16;

const char USAGE[] = R"(Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...

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
  --x              set flag bit 0x4 (listed as X)
  --ax             set flag bit 0x8 (listed as Ax)
  --flags BITS     OR the raw BITS (at most 0xffff) into the flag bits
  --no-checksum    record checksum 0: the file's contents are not checked

Numbers are decimal or hexadecimal with 0x. Each file keeps clear of the others,
of the FAT and of the device end and, with --device-id, of the last 64 bytes
that hold the record; a file with a load address fits below the next higher
load address. Every image made passes "brellix --check".

On any error mktinyfs prints one line "mktinyfs: MESSAGE" on standard error,
exits with status 1 and leaves OUTPUT as it was. On success it prints nothing.

Example:
  mktinyfs --device-id BX-0042 --mac 00:11:22:33:44:55 board.img \
      kernel=zImage --load 0x20008000 --x --room 0x10000 \
      config=board.cfg --no-checksum log=
)";

// A FAT entry as given on the command line, before its contents are read.
struct cFileArgument {
    cImageFile oFile;
    std::string sPath; // empty for "NAME="
    bool bOffsetGiven = false;
    bool bRoomGiven = false;
    bool bLoadGiven = false;
};

struct cOptions {
    bool bHelp = false;
    std::optional<std::string> sOutput;
    std::optional<std::string> sDeviceId;
    std::optional<std::string> sMac;
    std::vector<cFileArgument> lFiles;
};

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
                hexText(NUMBER_MAX) + ")";
    }
    return uint32_t(iValue);
}

class cArguments {
  public:
    cArguments(int iArgc, char** pArgv) : lArgs(pArgv + 1, pArgv + iArgc) {}

    cOptions parse() {
        cOptions oOptions;
        while (iNext < lArgs.size() && !oOptions.bHelp) {
            const std::string sArg = lArgs[iNext++];
            if (sArg.rfind("--", 0) == 0)
                parseOption(sArg, oOptions);
            else
                parseWord(sArg, oOptions);
        }
        if (!oOptions.bHelp && !oOptions.sOutput)
            throw std::string("missing OUTPUT (try --help)");
        return oOptions;
    }

  private:
    std::string value(const std::string& sOption) {
        if (iNext >= lArgs.size())
            throw sOption + " needs a value";
        return lArgs[iNext++];
    }

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
                    hexText(FLAG_BITS_MASK) + ")";
            oFile.oFile.iFlagBits |= uint16_t(iBits);
        } else if (sOption == "--no-checksum") {
            currentFile(sOption, oOptions).oFile.bChecksum = false;
        } else {
            throw "unknown option " + quoteForMessage(sOption) + " (try --help)";
        }
    }

    static void parseWord(const std::string& sWord, cOptions& oOptions) {
        const size_t iEquals = sWord.find('=');
        if (!oOptions.sOutput) {
            if (iEquals != std::string::npos)
                throw "missing OUTPUT: " + quoteForMessage(sWord) + " is a file, the image path comes first";
            if (sWord.empty())
                throw std::string("empty OUTPUT path");
            oOptions.sOutput = sWord;
            return;
        }
        if (iEquals == std::string::npos)
            throw quoteForMessage(sWord) + " is not a file (NAME=PATH or NAME=)";
        cFileArgument oFile;
        oFile.oFile.sName = sWord.substr(0, iEquals);
        oFile.sPath = sWord.substr(iEquals + 1);
        oOptions.lFiles.push_back(oFile);
    }

    std::vector<std::string> lArgs;
    size_t iNext = 0;
};

// An open local file, closed when it goes.
class cInputFile {
  public:
    explicit cInputFile(const std::string& sPath) : sPath(sPath), iFd(::open(sPath.c_str(), O_RDONLY)) {
        if (iFd < 0)
            fail();
    }
    ~cInputFile() { ::close(iFd); }
    cInputFile(const cInputFile&) = delete;
    cInputFile& operator=(const cInputFile&) = delete;

    // Everything up to the end; pipes and other streams work too, but nothing larger
    // than the device is taken in.
    std::vector<uint8_t> readAll() {
        std::vector<uint8_t> lContents;
        std::vector<uint8_t> lBlock(PIECE_SIZE);
        for (;;) {
            const ssize_t iGot = ::readAll(iFd, lBlock.data(), lBlock.size());
            if (iGot < 0)
                fail();
            lContents.insert(lContents.end(), lBlock.begin(), lBlock.begin() + iGot);
            if (lContents.size() > DEVICE_SIZE)
                throw quoteForMessage(sPath) + " is larger than the device (" + hexText(DEVICE_SIZE) +
                    " bytes)";
            if (size_t(iGot) < lBlock.size())
                return lContents;
        }
    }

  private:
    [[noreturn]] void fail() const {
        throw "cannot read " + quoteForMessage(sPath) + ": " + std::strerror(errno);
    }

    std::string sPath;
    int iFd;
};

int run(int iArgc, char** pArgv) {
    const cOptions oOptions = cArguments(iArgc, pArgv).parse();
    if (oOptions.bHelp) {
        std::fputs(USAGE, stdout);
        return EXIT_SUCCESS;
    }
    cImageBuilder oBuilder;
    for (const cFileArgument& oArgument : oOptions.lFiles) {
        cImageFile oFile = oArgument.oFile;
        if (!oArgument.sPath.empty())
            oFile.lContents = cInputFile(oArgument.sPath).readAll();
        oBuilder.addFile(oFile);
    }
    if (oOptions.sMac)
        oBuilder.setMac(*oOptions.sMac);
    if (oOptions.sDeviceId)
        oBuilder.setDeviceId(*oOptions.sDeviceId);
    oBuilder.writeTo(*oOptions.sOutput);
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
