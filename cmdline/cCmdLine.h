// The command line: the program's argument vector and the ordered list of declared
// entries it is matched against.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmdline/cCmdLineParameter.h"
#include "cmdline/cCmdLineSeparator.h"

class cCmdLine {
  public:
    // pArgv is not copied and must outlive the object.
    cCmdLine(const char* const* pArgv, int32_t iArgc);
    // Deletes the entries in list order, then oNotFound.
    ~cCmdLine();

    cCmdLine(const cCmdLine&) = delete;
    cCmdLine& operator=(const cCmdLine&) = delete;

    // Appends an entry and takes ownership; a null entry is ignored. The order of
    // adding is the order of matching and of the help screen.
    void add(std::unique_ptr<cCmdLineParameter> pParameter);

    // Matches every token once; on the first token no entry takes, or an option that
    // lacks its values, prints one "Error in command line: " line and returns false.
    bool parse();
    // The same without printing: on a failure sError holds the line's text, for the
    // caller to print with printError when it sees fit. Entries matched before the
    // failure keep their values.
    bool parse(std::string& sError);

    // False, after printing the first required entry that was not given. The tool
    // declares none and never calls it.
    bool checkRequired();

    // The first entry with this long name; oNotFound, which is never present and has
    // empty values, when there is none. Short names are not looked up.
    cCmdLineParameter& getParameter(const std::string& sName);

    void printHelp() const;
    void printError(const std::string& sMessage) const;

  private:
    const char* const* pArgv;
    int32_t iArgc;
    std::vector<std::unique_ptr<cCmdLineParameter>> lParameters;
    cCmdLineSeparator oNotFound{"fatal not found"};
};
