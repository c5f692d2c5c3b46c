// One declared entry of a command line: an option with its short and long name, how
// many argument tokens follow it, and, once parsed, whether it was given and with what.
#pragma once

#include <cstdint>
#include <string>

// Kinds of entry. The tool's options are all optional; required entries and
// checkRequired serve programs that declare them.
constexpr int32_t KIND_REQUIRED = 0;
constexpr int32_t KIND_OPTIONAL = 1;
constexpr int32_t KIND_SEPARATOR = 2;

// What an entry takes from the command line when it matches. The tool declares no
// positional entry; the parser offers them to programs that do.
constexpr int32_t ARG_POSITIONAL = 0; // the token itself, unless it begins with '-'
constexpr int32_t ARG_NONE = 1;       // the option token only
constexpr int32_t ARG_ONE = 2;        // the option and one value
constexpr int32_t ARG_TWO = 3;        // the option and two values

class cCmdLineParameter {
  public:
    cCmdLineParameter(int32_t iKind, const std::string& sShortName, const std::string& sLongName,
                      int32_t iArgMode, const std::string& sArgDescription, const std::string& sHelpText);
    virtual ~cCmdLineParameter() = default;

    cCmdLineParameter(const cCmdLineParameter&) = delete;
    cCmdLineParameter& operator=(const cCmdLineParameter&) = delete;

    // Tries to take the token at iIndex. Returns false only for a failure the parser
    // must report (missing arguments, an empty positional token); a token this entry
    // does not take returns true and leaves bMatched alone. After a match iIndex points
    // at the last token taken.
    bool match(const char* const* pArgv, int32_t& iIndex, int32_t iArgc, bool& bMatched);

    int32_t getKind() const { return iKind; }
    int32_t getArgMode() const { return iArgMode; } // not asked by the tool
    bool isPresent() const { return bPresent; }
    std::string getValue() const { return sValue; }
    std::string getValue2() const { return sValue2; }
    // The value, empty for ARG_NONE; not asked by the tool, which knows its options.
    std::string getArgValue() const { return iArgMode == ARG_NONE ? std::string() : sValue; }
    std::string getHelpText() const { return sHelpText; }
    std::string getArgDescription() const { return sArgDescription; }
    std::string getLongName() const { return sLongName; }
    std::string getShortName() const { return sShortName; }

    // Help-screen columns: a one-value option shows its argument description after the
    // name (with the space even when the description is empty); two-value options don't.
    std::string getShortColumn() const;
    std::string getLongColumn() const;

  private:
    std::string sShortName;
    std::string sLongName;
    std::string sArgDescription;
    std::string sHelpText;
    int32_t iKind;
    int32_t iArgMode;
    bool bPresent = false;
    std::string sValue;
    std::string sValue2;
};
