// Entry point: runs the driver once and turns a failure into one "Fatal: " line and
// exit status 1, or into the status alone of a silent cFailure.
#include <cstdlib>
#include <string>

#include "tinyfs/stoppingSignals.h"
#include "tool/cFailure.h"
#include "tool/console.h"
#include "tool/driver.h"

int main(int argc, char** argv) {
    guardConsole();
    ignoreFileSizeSignal();
    // The failure is reported after its handler has finished, so the exception object is
    // released before the process ends.
    std::string sFailure;
    int iStatus = EXIT_FAILURE;
    try {
        run(argc, argv);
        // Lines lost on a full or closed standard output are a failure, not a success.
        if (outputArrived())
            return EXIT_SUCCESS;
        sFailure = "unable to write data";
    } catch (const cFailure& oFailure) {
        if (oFailure.isSilent())
            return oFailure.getStatus();
        sFailure = oFailure.getMessage();
        iStatus = oFailure.getStatus();
    } catch (const std::string& sMessage) {
        sFailure = sMessage;
    } catch (...) {
        sFailure = "unknown problem occured";
    }
    fatal(sFailure, iStatus);
}
