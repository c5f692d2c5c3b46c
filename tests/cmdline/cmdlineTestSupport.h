// Helpers for the parser's unit tests: an argument vector built from strings, a command
// line declared from a table, and the capture of a standard stream while the code under
// test writes to it.
#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cmdline/cCmdLine.h"

// Owns the token strings and the pointer array a cCmdLine reads; element 0 is a
// program name, as the operating system hands it over.
class cArgv {
  public:
    explicit cArgv(const std::vector<std::string>& lTokens) : lStrings{"prog"} {
        lStrings.insert(lStrings.end(), lTokens.begin(), lTokens.end());
        for (const std::string& sToken : lStrings)
            lPointers.push_back(sToken.c_str());
        lPointers.push_back(nullptr);
    }
    cArgv(const cArgv&) = delete;
    cArgv& operator=(const cArgv&) = delete;

    const char* const* argv() const { return lPointers.data(); }
    int32_t argc() const { return int32_t(lStrings.size()); }

  private:
    std::vector<std::string> lStrings;
    std::vector<const char*> lPointers;
};

// Redirects a stream into a string for the lifetime of the object.
class cStreamCapture {
  public:
    explicit cStreamCapture(std::ostream& pStream)
        : pStream(pStream), pSaved(pStream.rdbuf(oBuffer.rdbuf())) {}
    ~cStreamCapture() { pStream.rdbuf(pSaved); }
    cStreamCapture(const cStreamCapture&) = delete;
    cStreamCapture& operator=(const cStreamCapture&) = delete;

    std::string text() const { return oBuffer.str(); }

  private:
    std::ostream& pStream;
    std::ostringstream oBuffer;
    std::streambuf* pSaved;
};

// One declared entry of a test table; the label names it in the expectations.
struct cDecl {
    std::string sLabel;
    bool bHeading = false;
    int32_t iKind = KIND_OPTIONAL;
    std::string sShortName;
    std::string sLongName;
    int32_t iArgMode = ARG_NONE;
    std::string sArgDescription;
    std::string sHelpText;
};

inline cDecl heading(const std::string& sLabel, const std::string& sText) {
    return cDecl{sLabel, true, KIND_SEPARATOR, sText, "", ARG_NONE, "", ""};
}

inline cDecl option(const std::string& sLabel, int32_t iKind, const std::string& sShortName,
                    const std::string& sLongName, int32_t iArgMode, const std::string& sArgDescription = "",
                    const std::string& sHelpText = "") {
    return cDecl{sLabel, false, iKind, sShortName, sLongName, iArgMode, sArgDescription, sHelpText};
}

// A command line over lTokens with the entries of lDecls added in order. The raw
// pointers stay valid while the object lives: the command line owns the entries.
class cDeclaredLine {
  public:
    cDeclaredLine(const std::vector<std::string>& lTokens, const std::vector<cDecl>& lDecls)
        : oArgv(lTokens), oCmdLine(oArgv.argv(), oArgv.argc()) {
        for (const cDecl& oDecl : lDecls) {
            std::unique_ptr<cCmdLineParameter> pEntry;
            if (oDecl.bHeading)
                pEntry = std::make_unique<cCmdLineSeparator>(oDecl.sShortName);
            else
                pEntry = std::make_unique<cCmdLineParameter>(oDecl.iKind, oDecl.sShortName, oDecl.sLongName,
                                                             oDecl.iArgMode, oDecl.sArgDescription,
                                                             oDecl.sHelpText);
            lEntries.emplace_back(oDecl.sLabel, pEntry.get());
            oCmdLine.add(std::move(pEntry));
        }
    }

    cCmdLine& cmdLine() { return oCmdLine; }
    const std::vector<std::pair<std::string, cCmdLineParameter*>>& entries() const { return lEntries; }

    cCmdLineParameter& entry(const std::string& sLabel) const {
        for (const auto& oEntry : lEntries)
            if (oEntry.first == sLabel)
                return *oEntry.second;
        throw std::logic_error("no entry labelled " + sLabel);
    }

  private:
    cArgv oArgv;
    cCmdLine oCmdLine;
    std::vector<std::pair<std::string, cCmdLineParameter*>> lEntries;
};
