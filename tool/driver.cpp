// The driver: quiet switch, banner, device path, and the fixed order of commands.
#include "tool/driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include "cmdline/cCmdLine.h"
#include "tinyfs/deviceIdentity.h"
#include "tool/commands.h"
#include "tool/console.h"
#include "tool/optionTable.h"
#include "tool/version.h"

namespace {

constexpr char DEFAULT_DEVICE[] = "/dev/mtd0";
constexpr char BANNER[] = "Brellix v" BRELLIX_VERSION " - tinyfs maintenance tool, by the Brellix developers";

using tCommand = void (*)(cCmdLine&, const cRunDevice&);

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

const char* const STANDARD_NAMES[] = {"standard input", "standard output", "standard error"};

// Standard output or error on the device, or on what may reach it, would carry the run's
// output onto the flash: the run is refused before anything is printed, and the failure
// is reported where it does no harm. Standard input is never written.
void refuseDeviceAsConsole(const cRunDevice& oRun) {
    if (!oRun.isKnown())
        return; // no command can open it either
    std::array<bool, 3> lRefused{};
    std::string sFailure;
    for (int iFd = STDOUT_FILENO; iFd <= STDERR_FILENO; ++iFd) {
        struct stat oConsole;
        const tAlias iAlias = ::fstat(iFd, &oConsole) == 0
                                  ? aliasOf(oRun.getIdentity(), oConsole, isOnOverlay(iFd))
                                  : ALIAS_NONE;
        lRefused[size_t(iFd)] = iAlias != ALIAS_NONE;
        if (iAlias != ALIAS_NONE && sFailure.empty())
            sFailure =
                STANDARD_NAMES[iFd] + (iAlias == ALIAS_SAME ? " is the device itself (" + oRun.getPath() + ")"
                                                            : " is a block device");
    }
    if (!sFailure.empty()) {
        divertConsole(lRefused);
        throw sFailure;
    }
}

} // namespace

void run(int argc, const char* const* argv) {
    cCmdLine oCmdLine(argv, argc);
    declareOptions(oCmdLine);
    bool bShowHelp = true;

    // The device is settled first, from what was parsed up to any error, so that not
    // even a command-line error is printed onto it.
    std::string sParseError;
    const bool bParsed = oCmdLine.parse(sParseError);
    cCmdLineParameter& oDevice = oCmdLine.getParameter("--device");
    const std::string sDevicePath = oDevice.isPresent() ? oDevice.getValue() : DEFAULT_DEVICE;
    // Opened once, and only when a command will use it: the console is checked against
    // what every command works on.
    bool bCommand = false;
    for (const cCommandRow& oCommand : COMMAND_ORDER)
        bCommand = bCommand || oCmdLine.getParameter(oCommand.sLongName).isPresent();
    const cRunDevice oRun(sDevicePath, bParsed && bCommand);
    refuseDeviceAsConsole(oRun);
    if (!bParsed) {
        oCmdLine.printError(sParseError);
        throw std::string("error parsing cmd.-line");
    }

    if (oCmdLine.getParameter("--quiet").isPresent() || oCmdLine.getParameter("--read-stdout").isPresent())
        bQuiet = true;

    if (oCmdLine.getParameter("--version").isPresent()) {
        printText(std::string("\n") + BANNER + "\n\n");
        bShowHelp = false;
    }

    if (oDevice.isPresent())
        printInfo("using device " + sDevicePath);

    for (const cCommandRow& oCommand : COMMAND_ORDER) {
        if (oCmdLine.getParameter(oCommand.sLongName).isPresent()) {
            bShowHelp = false;
            oCommand.fCommand(oCmdLine, oRun);
        }
    }

    if (oCmdLine.getParameter("--help").isPresent())
        bShowHelp = true;
    if (bShowHelp)
        oCmdLine.printHelp();
}
