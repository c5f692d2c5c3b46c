// JSON text as --info and --diff write names: valid UTF-8 kept as it is, every byte of
// anything else (overlong forms, surrogates, past U+10FFFF, cut short) U+FFFD, so that
// every parser takes the document and no character is lost.
#include <gtest/gtest.h>

#include "host/mktinyfs/cJsonWriter.h"

namespace {

TEST(JsonWriter, KeepsUtf8AndReplacesEveryOtherByte) {
    const std::pair<std::string, std::string> CASES[] = {
        {"a\\b\"c", R"("a\\b\"c")"},
        {"\xE0\xA0\x80|\xED\x9F\xBF|\xF0\x90\x80\x80|\xF4\x8F\xBF\xBF",
         "\"\xE0\xA0\x80|\xED\x9F\xBF|\xF0\x90\x80\x80|\xF4\x8F\xBF\xBF\""},
        {"\xC1\xBF|\xE0\x9F\xBF", R"("\ufffd\ufffd|\ufffd\ufffd\ufffd")"},
        {"\xED\xA0\x80|\xF0\x8F\xBF\xBF", R"("\ufffd\ufffd\ufffd|\ufffd\ufffd\ufffd\ufffd")"},
        {"\xF4\x90\x80\x80|\xF5\x80\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd|\ufffd\ufffd\ufffd\ufffd")"},
        {"\xE2\x82(|\xF0\x9F\x98", R"("\ufffd\ufffd(|\ufffd\ufffd\ufffd")"},
    };
    for (const auto& [sBytes, sJson] : CASES)
        EXPECT_EQ(cJsonWriter().text(sBytes).str(), sJson + "\n");
}

} // namespace
