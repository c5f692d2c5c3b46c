// Console output of the tool and its failure convention.
//
// Below main every failure is a thrown std::string holding the whole message; main
// prints it behind "Fatal: ". Informational lines go to standard output, each flushed,
// and are silenced by the quiet switch.
#pragma once

#include <string>

// Set once, after parsing, by "--quiet" or "--read-stdout"; silences printInfo and
// printPlain only.
extern bool bQuiet;

void printInfo(const std::string& sMessage);  // "** " + message
void printPlain(const std::string& sMessage); // message alone

// "Fatal: " + message on standard error, then exit status 1 without unwinding.
[[noreturn]] void fatal(const std::string& sMessage);

// A transient status line on standard error (a terminal); every line printed through
// the operations above erases it first.
void showStatusLine(const std::string& sLine);
void clearStatusLine();
