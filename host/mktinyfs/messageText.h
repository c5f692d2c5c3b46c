// How mktinyfs writes names and numbers into its messages and reads hexadecimal digits:
// the text every other host file shares, below the image builder, so that taking a
// message's words never means depending on the builder.
#pragma once

#include <cstdint>
#include <string>

// sText in double quotes for a one-line message: quotes, backslashes and control bytes
// are escaped, so a name or path can never break the line.
std::string quoteForMessage(const std::string& sText);

// A file where it lies, as layout messages name it: "NAME" (0xOFFSET + 0xBYTES).
std::string describeFile(const std::string& sName, uint64_t iOffset, uint64_t iBytes);

// The value of a hexadecimal digit, either case; -1 for any other character.
int hexDigitValue(char c);
