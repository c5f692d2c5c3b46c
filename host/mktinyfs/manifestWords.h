// The words of a manifest: how mktinyfs's arguments are written into a text file so that
// any byte survives, and how an @FILE argument reads them back.
//
// Words are separated by blanks, tabs and line ends. Outside double quotes, a "#" that
// starts a word starts a comment up to the end of the line. Double quotes may enclose
// any part of a word (a"b c"d is the one word "ab cd"): inside them blanks and "#" are
// plain bytes, a line end is an error. Inside or outside quotes, a backslash starts an
// escape: \\ a backslash, \" a double quote, \xHH the byte of two hexadecimal digits; any
// other escape is an error. No word may hold a zero byte, as no command-line argument can.
// A UTF-8 byte-order mark (EF BB BF) as the text's very first bytes is skipped.
#pragma once

#include <string>
#include <vector>

// The word as the manifest writes it: bare when it is 0x21..0x7e throughout, without
// quote or backslash and not starting with "#", else in double quotes with \", \\ and
// \xHH for every byte outside 0x20..0x7e.
std::string quoteWord(const std::string& sWord);

// The words of sText; a malformed text throws "SOURCE line N: PROBLEM".
std::vector<std::string> splitWords(const std::string& sText, const std::string& sSource);
