// One JSON document written into a string: the separators between values, and text whose
// bytes are not all printable made safe (the exact bytes go alongside in hexadecimal).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class cJsonWriter {
  public:
    // An object ('{') or array ('['), and its end.
    cJsonWriter& open(char cBracket);
    cJsonWriter& close(char cBracket);
    // The key of the next value inside an object.
    cJsonWriter& key(const char* sKey);
    cJsonWriter& number(uint64_t iValue);
    cJsonWriter& number(std::optional<uint64_t> iValue); // null when absent
    cJsonWriter& boolean(bool bValue);
    cJsonWriter& null();
    // sBytes as text: UTF-8 sequences as they are, every other byte as U+FFFD.
    cJsonWriter& text(const std::string& sBytes);
    // sBytes as text, then the key sKey + "_hex" with their exact bytes in hexadecimal.
    cJsonWriter& textAndHex(const char* sKey, const std::string& sBytes);

    // The document, with a line end.
    std::string str() const { return sOut + "\n"; }

  private:
    void separate();

    std::string sOut;
    bool bFirst = true; // no value yet in the innermost object or array, or a key before it
};
