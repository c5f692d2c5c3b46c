// Console output of the tool and its failure convention.
//
// Below main every failure is a thrown std::string holding the whole message (or a
// cFailure, which carries its exit status); main prints it behind "Fatal: ". Every line reaches standard
// output at once, and output that does not arrive (a full disk, a closed pipe or descriptor) is the failure
// "unable to write data", which ends the run like any other.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "tinyfs/cProgress.h"

// Set once, after parsing, by "--quiet" or "--read-stdout"; silences printInfo and
// printPlain only.
extern bool bQuiet;

// Makes sure standard input, output and error are open, so that no file the tool opens
// (the device above all) takes their place, and turns a closed pipe into a failed write.
// Called first by main.
void guardConsole();
// Points the standard descriptors marked in lRefused (by number) away from where they
// lead: standard error to standard output when that one is kept, the others to a
// stand-in that takes no writes. A failure is then reported where it does no harm, or
// nowhere.
void divertConsole(const std::array<bool, 3>& lRefused);

void printInfo(const std::string& sMessage);  // "** " + message + line end
void printPlain(const std::string& sMessage); // message + line end
// Text on standard output whatever the quiet switch says: banner, identifier, contents.
void printText(std::string_view sText);
// Whether everything written to standard output so far has arrived.
bool outputArrived();

// "Fatal: " + message on standard error, then exit status iStatus without unwinding: main's
// reporter, called when everything below it has unwound.
[[noreturn]] void fatal(const std::string& sMessage, int iStatus);

// A transient status line on standard error (a terminal); every line printed through
// the operations above erases it first.
void showStatusLine(const std::string& sLine);
void clearStatusLine();
// Where progress indicators draw: the status line above, on a terminal when the quiet
// switch is off; nowhere otherwise.
cStatusLine consoleStatusLine();
