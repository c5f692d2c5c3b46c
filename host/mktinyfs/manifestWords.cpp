// Writing and reading the words of a manifest (the rules are in the header).
#include "host/mktinyfs/manifestWords.h"

#include "host/mktinyfs/messageText.h"

namespace {

constexpr char QUOTE = '"';
constexpr char ESCAPE = '\\';
constexpr char COMMENT = '#';
constexpr char HEX_ESCAPE = 'x';
constexpr unsigned char FIRST_VISIBLE = 0x21;
constexpr unsigned char LAST_VISIBLE = 0x7e;
constexpr unsigned char BLANK = 0x20;
constexpr int HEX_BITS = 4;
constexpr char HEX_DIGITS[] = "0123456789abcdef";
constexpr char UTF8_BOM[] = "\xef\xbb\xbf";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class cWordReader {
  public:
    // A byte-order mark that an editor put before the first word is no part of it; one
    // anywhere else is bytes of a word like any others.
    cWordReader(const std::string& sText, const std::string& sSource) : sText(sText), sSource(sSource) {
        if (sText.compare(0, sizeof UTF8_BOM - 1, UTF8_BOM) == 0)
            i = sizeof UTF8_BOM - 1;
    }

    std::vector<std::string> read() {
        std::vector<std::string> lWords;
        while (skipBlanks()) {
            if (sText[i] == COMMENT) {
                while (i < sText.size() && sText[i] != '\n')
                    ++i;
                continue;
            }
            lWords.push_back(word());
        }
        return lWords;
    }

  private:
    bool skipBlanks() {
        for (; i < sText.size() && isBlank(sText[i]); ++i) {
            if (sText[i] == '\n')
                ++iLine;
        }
        return i < sText.size();
    }

    std::string word() {
        std::string sWord;
        bool bQuoted = false;
        for (; i < sText.size() && (bQuoted || !isBlank(sText[i])); ++i) {
            const char c = sText[i];
            if (c == '\n')
                fail("a line end inside double quotes (a quote is missing)");
            if (c == QUOTE)
                bQuoted = !bQuoted;
            else if (c == ESCAPE)
                sWord += escape();
            else if (c == '\0')
                fail("a zero byte, which no argument can hold");
            else
                sWord += c;
        }
        if (bQuoted)
            fail("a double quote that is never closed");
        return sWord;
    }

    // The escape at i; leaves i on its last byte.
    char escape() {
        const char cKind = i + 1 < sText.size() ? sText[i + 1] : '\0';
        if (cKind == ESCAPE || cKind == QUOTE) {
            ++i;
            return cKind;
        }
        const int iHigh = i + 2 < sText.size() ? hexDigitValue(sText[i + 2]) : -1;
        const int iLow = i + 3 < sText.size() ? hexDigitValue(sText[i + 3]) : -1;
        if (cKind != HEX_ESCAPE || iHigh < 0 || iLow < 0)
            fail("an invalid escape " + quoteForMessage(sText.substr(i, 4)) + " (use \\\\, \\\" or \\xHH)");
        if (iHigh == 0 && iLow == 0)
            fail("a zero byte, which no argument can hold");
        i += 3;
        return char(iHigh << HEX_BITS | iLow);
    }

    [[noreturn]] void fail(const std::string& sProblem) const {
        throw quoteForMessage(sSource) + " line " + std::to_string(iLine) + ": " + sProblem;
    }

    const std::string& sText;
    const std::string& sSource;
    size_t i = 0;
    unsigned iLine = 1;
};

} // namespace

std::string quoteWord(const std::string& sWord) {
    bool bBare = !sWord.empty() && sWord[0] != COMMENT;
    for (const char c : sWord) {
        const unsigned char iByte = static_cast<unsigned char>(c);
        bBare = bBare && iByte >= FIRST_VISIBLE && iByte <= LAST_VISIBLE && c != QUOTE && c != ESCAPE;
    }
    if (bBare)
        return sWord;
    std::string sOut(1, QUOTE);
    for (const char c : sWord) {
        const unsigned char iByte = static_cast<unsigned char>(c);
        if (c == QUOTE || c == ESCAPE) {
            sOut += ESCAPE;
            sOut += c;
        } else if (iByte < BLANK || iByte > LAST_VISIBLE) {
            sOut += ESCAPE;
            sOut += HEX_ESCAPE;
            sOut += HEX_DIGITS[iByte >> HEX_BITS];
            sOut += HEX_DIGITS[iByte & 0xF];
        } else {
            sOut += c;
        }
    }
    return sOut + QUOTE;
}

std::vector<std::string> splitWords(const std::string& sText, const std::string& sSource) {
    return cWordReader(sText, sSource).read();
}
