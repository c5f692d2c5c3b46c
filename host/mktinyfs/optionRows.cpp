// The option rows of mktinyfs, the numbers they read, and the usage text around them.
#include "host/mktinyfs/optionRows.h"

#include <algorithm>

#include "host/mktinyfs/messageText.h"
#include "tinyfs/boardSettings.h"
#include "tinyfs/hexText.h"
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
                hexNumber(NUMBER_MAX) + ")";
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
     "add \"mac-address\" holding TEXT (17 characters, no checksum)"},
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
    {"--json", SCOPE_INFO_DIFF, "", "--json", [](const cSetting& o) { o.oOptions.bJson = true; }, ""},
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
                 hexNumber(FLAG_BITS_MASK) + ")";
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
     "the file's name, for names with \"=\" or starting \"--\" or \"@\""},
};

// The usage and the options, one line each; the manual page has every rule.
const char USAGE_HEAD[] = R"(Usage: mktinyfs [--device-id ID] [--mac TEXT] OUTPUT [FILE [FILE OPTIONS]]...
       mktinyfs --extract IMAGE DIR [--salvage]
       mktinyfs --info IMAGE [--json]
       mktinyfs --diff OLD NEW [--json]
       mktinyfs --program IMAGE DEVICE [--force]
       mktinyfs --dump DEVICE FILE

Writes a tinyfs image of 0x840000 bytes to OUTPUT from local files. --extract
takes IMAGE apart into DIR and DIR/manifest, which rebuilds it (mktinyfs NEW
@DIR/manifest); --salvage also takes the entries after a table cut short.
--info shows what IMAGE holds, --diff what differs, --json as one JSON document.
--program puts IMAGE on DEVICE, programming only the pages that differ, header
last; --dump copies DEVICE to FILE, read twice and compared. Both lock DEVICE.

FILE is NAME=PATH (the contents of PATH) or NAME= (an empty file). @FILE stands
for the arguments written in FILE. Numbers are decimal or hexadecimal (0x).

Image options (anywhere on the line):
)";

const char USAGE_FILE_OPTIONS[] = R"(
File options (apply to the FILE before them):
)";

const char USAGE_TAIL[] = R"(
See mktinyfs(1) for the layout rules, @FILEs and manifests, every message and
the exit statuses.
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
