// Entry point: runs the driver once and turns a failure into one "Fatal: " line and
// exit status 1.
#include <cstdlib>
#include <string>

#include "tool/console.h"
#include "tool/driver.h"

int main(int argc, char** argv) {
    try {
        run(argc, argv);
    } catch (const std::string& sMessage) {
        fatal(sMessage);
    } catch (...) {
        fatal("unknown problem occured");
    }
    return EXIT_SUCCESS;
}
