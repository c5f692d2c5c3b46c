// Section heading entries.
#include "cmdline/cCmdLineSeparator.h"

cCmdLineSeparator::cCmdLineSeparator(const std::string& sHeading)
    : cCmdLineParameter(KIND_SEPARATOR, sHeading, "", ARG_NONE, "", "") {}
