// The driver: quiet switch, banner, device path, and the fixed order of commands.
#include "tool/driver.h"

#include "cmdline/cCmdLine.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/optionTable.h"
#include "tool/version.h"

namespace {

constexpr char DEFAULT_DEVICE[] = "/dev/mtd0";
constexpr char BANNER[] = "Brellix v" BRELLIX_VERSION " - tinyfs maintenance tool, by the Brellix developers";

using tCommand = void (*)(cCmdLine&, const std::string&);

struct cCommandRow {
    const char* sLongName;
    tCommand fCommand;
};

// Commands run in this order, whatever their order on the command line: settings
// first, then reading commands before those that change files.
const cCommandRow COMMAND_ORDER[] = {
    {"--set-mac", setMac},
    {"--get-mac", getMac},
    {"--set-device-id", setDeviceId},
    {"--get-device-id", getDeviceId},
    {"--list", listFiles},
    {"--read", readFile},
    {"--read-stdout", readFileToStdout},
    {"--exists", testExists},
    {"--check", checkFilesystem},
    {"--rename", renameFile},
    {"--write", writeFile},
};

} // namespace

void run(int argc, const char* const* argv) {
    cCmdLine oCmdLine(argv, argc);
    declareOptions(oCmdLine);
    bool bShowHelp = true;

    if (!oCmdLine.parse())
        throw std::string("error parsing cmd.-line");

    if (oCmdLine.getParameter("--quiet").isPresent() || oCmdLine.getParameter("--read-stdout").isPresent())
        bQuiet = true;

    if (oCmdLine.getParameter("--version").isPresent()) {
        printText(std::string("\n") + BANNER + "\n\n");
        bShowHelp = false;
    }

    std::string sDevicePath = DEFAULT_DEVICE;
    if (oCmdLine.getParameter("--device").isPresent()) {
        sDevicePath = oCmdLine.getParameter("--device").getValue();
        printInfo("using device " + sDevicePath);
    }

    for (const cCommandRow& oCommand : COMMAND_ORDER) {
        if (oCmdLine.getParameter(oCommand.sLongName).isPresent()) {
            bShowHelp = false;
            oCommand.fCommand(oCmdLine, sDevicePath);
        }
    }

    if (oCmdLine.getParameter("--help").isPresent())
        bShowHelp = true;
    if (bShowHelp)
        oCmdLine.printHelp();
}
