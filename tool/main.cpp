// Entry point: runs the driver once and turns a failure into one "Fatal: " line and
// exit status 1.
#include <cstdlib>
#include <string>

#include "tool/console.h"
#include "tool/driver.h"

int main(int argc, char** argv) {
    guardConsole();
    // The failure is reported after its handler has finished, so the exception object is
    // released before the process ends.
    std::string sFailure;
    try {
        run(argc, argv);
        // Lines lost on a full or closed standard output are a failure, not a success.
        if (outputArrived())
            return EXIT_SUCCESS;
        sFailure = "unable to write data";
    } catch (const std::string& sMessage) {
        sFailure = sMessage;
    } catch (...) {
        sFailure = "unknown problem occured";
    }
    fatal(sFailure);
}
