// A section heading of the help screen, declared among the options.
#pragma once

#include "cmdline/cCmdLineParameter.h"

// The heading becomes the short name; the long name is empty. A heading still takes
// part in matching: a token equal to its text is taken by it.
class cCmdLineSeparator : public cCmdLineParameter {
  public:
    explicit cCmdLineSeparator(const std::string& sHeading);
    ~cCmdLineSeparator() override = default;
};
