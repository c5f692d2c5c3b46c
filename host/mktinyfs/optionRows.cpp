// The option rows of mktinyfs, the numbers they read, and the usage text around them.
#include "host/mktinyfs/optionRows.h"

#include <algorithm>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/layout.h"

namespace {

constexpr uint64_t NUMBER_MAX = UINT32_MAX;
constexpr uint32_t DECIMAL = 10;
constexpr uint32_t HEXADECIMAL = 16;
constexpr size_t USAGE_INDENT = 2; // before an option
constexpr size_t USAGE_GAP = 2;    // at least, between an option and its help

// Decimal or 0x-hexadecimal, 32 bits, nothing else: no sign, no blanks, no suffix.
uint32_t parseNumber(const std::string& sText, const std::string& sOption) {
    const bool bHex = sText.size() >= 2 && sText[0] == '0' && (sText[1] == 'x' || sText[1] == 'X');
    const uint32_t iBase = bHex ? HEXADECIMAL : DECIMAL;
    const std::string sDigits = bHex ? sText.substr(2) : sText;
    if (sDigits.empty())
        throw "invalid number " + quoteForMessage(sText) + " for " + sOption;
    uint64_t iValue = 0;
    for (const char c : sDigits) {
        const int iDigit = hexDigitValue(c);
        if (iDigit < 0 || uint32_t(iDigit) >= iBase)
            throw "invalid number " + quoteForMessage(sText) + " for " + sOption;
        iValue = iValue * iBase + uint32_t(iDigit);
        if (iValue > NUMBER_MAX)
            throw "number " + quoteForMessage(sText) + " for " + sOption + " is out of range (at most " +
                hexForMessage(NUMBER_MAX) + ")";
    }
    return uint32_t(iValue);
}

uint32_t numberValue(const cSetting& o) {
    return parseNumber(o.fValue(), o.sOption);
}

cImageFile& file(const cSetting& o) {
    return o.pFile->oImageFile;
}

// Declaration order is the usage text's order within each scope.
const cOptionRow OPTION_ROWS[] = {
    {"--device-id", SCOPE_IMAGE, "ID", "--device-id",
     [](const cSetting& o) { o.oOptions.sDeviceId = o.fValue(); },
     "write the device-identifier record (at most 32 bytes)"},
    {"--mac", SCOPE_IMAGE, "TEXT", "--mac",
     [](const cSetting& o) {
         const std::string sMac = o.fValue();
         if (sMac.size() != MAC_TEXT_LENGTH)
             throw "--mac needs " + std::to_string(MAC_TEXT_LENGTH) +
                 " characters such as 00:11:22:33:44:55, not " + quoteForMessage(sMac);
         o.oOptions.sMac = sMac;
     },
     "add the file \"mac-address\" holding TEXT, 17 characters such\n"
     "as 00:11:22:33:44:55, after the other files, without checksum"},
    {"--help", SCOPE_IMAGE, "", nullptr, [](const cSetting& o) { o.oOptions.bHelp = true; },
     "show this text and exit"},
    {"--extract", SCOPE_EXTRACT, "IMAGE DIR", "--extract",
     [](const cSetting& o) {
         o.oOptions.sExtractImage = o.fValue();
         o.oOptions.sExtractDir = o.fValue();
     },
     ""},
    {"--salvage", SCOPE_EXTRACT, "", nullptr, [](const cSetting& o) { o.oOptions.bSalvage = true; }, ""},
    // One report per run, whichever option asks for it.
    {"--info", SCOPE_INFO_DIFF, "IMAGE", "--info or --diff",
     [](const cSetting& o) { o.oOptions.lImages = {o.fValue()}; }, ""},
    {"--diff", SCOPE_INFO_DIFF, "OLD NEW", "--info or --diff",
     [](const cSetting& o) {
         o.oOptions.bDiff = true;
         o.oOptions.lImages = {o.fValue()};
         o.oOptions.lImages.push_back(o.fValue());
     },
     ""},
    {"--json", SCOPE_INFO_DIFF, "", nullptr, [](const cSetting& o) { o.oOptions.bJson = true; }, ""},
    // One device command per run, whichever option asks for it.
    {"--program", SCOPE_DEVICE, "IMAGE DEVICE", "--program or --dump",
     [](const cSetting& o) {
         o.oOptions.sProgramImage = o.fValue();
         o.oOptions.sDevice = o.fValue();
     },
     ""},
    {"--dump", SCOPE_DEVICE, "DEVICE FILE", "--program or --dump",
     [](const cSetting& o) {
         o.oOptions.sDumpDevice = o.fValue();
         o.oOptions.sDevice = o.fValue();
     },
     ""},
    {"--force", SCOPE_DEVICE, "", nullptr, [](const cSetting& o) { o.oOptions.bForce = true; }, ""},
    {"--offset", SCOPE_FILE, "N", "--offset", [](const cSetting& o) { file(o).iOffset = numberValue(o); },
     "data offset (not inside the FAT, 0x4000..0xbfff)"},
    {"--room", SCOPE_FILE, "N", "--room", [](const cSetting& o) { file(o).iExtraRoom = numberValue(o); },
     "N bytes of room beyond the contents, for later rewrites"},
    {"--load", SCOPE_FILE, "ADDR", "--load",
     [](const cSetting& o) {
         file(o).iLoadAddress = numberValue(o);
         file(o).iFlagBits |= FLAG_LOAD_ADDRESS;
     },
     "load address ADDR; sets flag bit 0x2"},
    // One load address per file, whichever option gives it.
    {"--raw-load", SCOPE_FILE, "ADDR", "--load",
     [](const cSetting& o) { file(o).iLoadAddress = numberValue(o); },
     "load address ADDR without flag bit 0x2"},
    {"--x", SCOPE_FILE, "", nullptr, [](const cSetting& o) { file(o).iFlagBits |= FLAG_X; },
     "set flag bit 0x4 (listed as X)"},
    {"--ax", SCOPE_FILE, "", nullptr, [](const cSetting& o) { file(o).iFlagBits |= FLAG_AX; },
     "set flag bit 0x8 (listed as Ax)"},
    {"--flags", SCOPE_FILE, "BITS", nullptr,
     [](const cSetting& o) {
         const std::string sBits = o.fValue();
         const uint32_t iBits = parseNumber(sBits, o.sOption);
         if (iBits > FLAG_BITS_MASK)
             throw "--flags " + quoteForMessage(sBits) + " does not fit the 16 flag bits (at most " +
                 hexForMessage(FLAG_BITS_MASK) + ")";
         file(o).iFlagBits |= uint16_t(iBits);
     },
     "OR the raw BITS (at most 0xffff) into the flag bits"},
    {"--no-checksum", SCOPE_FILE, "", nullptr, [](const cSetting& o) { file(o).bChecksum = false; },
     "record checksum 0: the file's contents are not checked"},
    {"--checksum", SCOPE_FILE, "N", "--checksum",
     [](const cSetting& o) {
         const std::string sSum = o.fValue();
         const uint32_t iSum = parseNumber(sSum, o.sOption);
         if (iSum > CHECKSUM_MASK)
             throw "--checksum " + quoteForMessage(sSum) + " does not fit 16 bits (at most 0xffff)";
         file(o).iChecksum = uint16_t(iSum);
     },
     "record the checksum N (at most 0xffff), whatever the contents"},
    {"--name", SCOPE_FILE, "NAME", "--name", [](const cSetting& o) { file(o).sName = o.fValue(); },
     "the file's name instead of the part before \"=\", for names\n"
     "with \"=\" or starting with \"--\" or \"@\""},
};

const char USAGE_HEAD[] = R"(Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...
       mktinyfs --extract IMAGE DIR [--salvage]
       mktinyfs --info IMAGE [--json]
       mktinyfs --diff OLD NEW [--json]
       mktinyfs --program IMAGE DEVICE [--force]
       mktinyfs --dump DEVICE FILE

Writes a complete tinyfs image of 0x840000 bytes to OUTPUT. The image is written
to a temporary file beside OUTPUT and renamed over it at the end.

FILE is NAME=PATH (the contents of the local file PATH) or NAME= (an empty file).
Names are 1 to 15 bytes and unique. Files enter the FAT in the order given. A
file without --offset goes to 0xc000 when it is the first, else to the first
page boundary (1056 bytes) after the previous file's contents and room.
Unused bytes are 0xff, as on erased flash.

Image options (anywhere on the line):
)";

const char USAGE_FILE_OPTIONS[] = R"(
File options (apply to the FILE before them):
)";

const char USAGE_TAIL[] = R"(
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

--info IMAGE prints what IMAGE (an image file or the device node, read without
writing, under the lock brellix shares with readers) holds: the table's header,
every slot with its room, flags, load address, recorded and computed checksum,
entry-shaped slots after the end, the MAC address, the device identifier and
the verdict of "brellix --check". Exit status 0 when that check passes, 1 when
it reports a problem, 2 when IMAGE cannot be read.

--diff OLD NEW prints what differs between two images (or an image and the
device): files only in one, changed or renamed, the MAC address, the device
identifier, and the bytes outside every file, the table and the record. Exit
status 0 when nothing differs, 1 when something does, 2 on trouble.

--json prints the report of --info or --diff as one JSON document (schema 1).

--program IMAGE DEVICE puts the image file IMAGE on DEVICE (the device node, or
an image file, as brellix -d takes it) under brellix's own lock: it programs
only the pages that differ, reads each run back, and programs the table's
header page last, having cleared its magic word first, so that a cut leaves
DEVICE holding its old bytes, IMAGE, or a table no brellix command mounts (then
run it again). IMAGE must pass "brellix --check"; --force programs it anyway.

--dump DEVICE FILE reads DEVICE whole under the lock brellix shares with
readers, twice, and writes it to FILE as an OUTPUT when both reads agree.

On any error mktinyfs prints one line "mktinyfs: MESSAGE" on standard error,
exits with status 1 (2 with --info or --diff) and leaves OUTPUT as it was. On
success it prints nothing (but for the lines of --extract, --info and --diff). A
run that names no file leaves an OUTPUT that holds an image with files as it is.

Example:
  mktinyfs --device-id BX-0042 --mac 00:11:22:33:44:55 board.img \
      kernel=zImage --load 0x20008000 --x --room 0x10000 \
      config=board.cfg --no-checksum log=
  mktinyfs --extract board.img board && mktinyfs copy.img @board/manifest
)";

std::string usageColumn(const cOptionRow& oRow) {
    return std::string(oRow.sName) + (*oRow.sValue ? " " : "") + oRow.sValue;
}

// The rows of one scope that have help, in two columns whose width follows from the
// rows themselves; a help text's further lines start in its column.
std::string usageRows(tOptionScope iScope, size_t iWidth) {
    std::string sText;
    for (const cOptionRow& oRow : OPTION_ROWS) {
        if (oRow.iScope != iScope || !*oRow.sHelp)
            continue;
        const std::string sColumn = usageColumn(oRow);
        sText += std::string(USAGE_INDENT, ' ') + sColumn + std::string(iWidth - sColumn.size(), ' ');
        for (const char* p = oRow.sHelp; *p; ++p)
            sText += *p == '\n' ? "\n" + std::string(USAGE_INDENT + iWidth, ' ') : std::string(1, *p);
        sText += '\n';
    }
    return sText;
}

} // namespace

const cOptionRow* findOption(const std::string& sOption) {
    for (const cOptionRow& oRow : OPTION_ROWS) {
        if (sOption == oRow.sName)
            return &oRow;
    }
    return nullptr;
}

std::string usageText() {
    size_t iWidth = 0;
    for (const cOptionRow& oRow : OPTION_ROWS) {
        if (*oRow.sHelp)
            iWidth = std::max(iWidth, usageColumn(oRow).size() + USAGE_GAP);
    }
    return USAGE_HEAD + usageRows(SCOPE_IMAGE, iWidth) + USAGE_FILE_OPTIONS + usageRows(SCOPE_FILE, iWidth) +
           USAGE_TAIL;
}
