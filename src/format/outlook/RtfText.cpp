#include "format/outlook/RtfText.h"

#include "format/Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace quarrelby::outlook {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Destinations whose content is not text the reader sees.
bool isSkippedDestination(std::string_view word)
{
    static constexpr std::array<std::string_view, 30> kSkipped = {"fonttbl", "colortbl", "stylesheet", "info", "pict",
        "object", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "listtable",
        "listoverridetable", "revtbl", "rsidtbl", "generator", "xmlnstbl", "themedata", "colorschememapping",
        "latentstyles", "datastore", "fldinst", "pntext", "pntxta", "pntxtb", "filetbl", "mmathPr"};
    return std::find(kSkipped.begin(), kSkipped.end(), word) != kSkipped.end();
}

char32_t symbolOf(std::string_view word)
{
    struct Symbol {
        std::string_view word;
        char32_t c;
    };
    static constexpr std::array<Symbol, 17> kSymbols
        = {{{"par", '\n'}, {"line", '\n'}, {"sect", '\n'}, {"page", '\n'}, {"row", '\n'}, {"tab", '\t'}, {"cell", '\t'},
            {"emdash", 0x2014}, {"endash", 0x2013}, {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", ' '}, {"enspace", ' '}, {"qmspace", ' '}}};
    for (const Symbol &symbol : kSymbols) {
        if (symbol.word == word)
            return symbol.c;
    }
    return 0;
}

class RtfReader {
public:
    explicit RtfReader(std::string_view rtf)
        : m_in(rtf)
    {
    }
    ~RtfReader()
    {
        if (m_converter != kNoConverter)
            iconv_close(m_converter);
    }
    RtfReader(const RtfReader &) = delete;
    RtfReader &operator=(const RtfReader &) = delete;

    std::string read();

private:
    struct State {
        bool skip = false;
        int unicodeSkip = 1; // \ucN: characters that follow a \u as its fallback
    };

    [[nodiscard]] bool visible() const { return !m_state.skip; }
    void controlSymbol(char c);
    void controlWord(std::string_view word, std::int64_t parameter);
    void unicode(std::int64_t parameter);
    void byte(char c);
    void codepoint(char32_t c);
    void flushBytes();
    bool takeSkippedCharacter();

    std::string_view m_in;
    size_t m_pos = 0;
    State m_state;
    std::vector<State> m_groups;
    int m_pendingSkip = 0;
    char32_t m_highSurrogate = 0;
    std::int64_t m_codepage = 1252;
    iconv_t m_converter = kNoConverter;
    std::string m_bytes; // 8-bit text not yet converted
    std::string m_out;
};

std::string RtfReader::read()
{
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos++];
        if (c == '{') {
            m_groups.push_back(m_state);
            m_pendingSkip = 0;
        } else if (c == '}') {
            if (m_groups.empty())
                break;
            m_state = m_groups.back();
            m_groups.pop_back();
            m_pendingSkip = 0;
            if (m_groups.empty())
                break; // the end of the document
        } else if (c == '\\') {
            if (m_pos >= m_in.size())
                break;
            const char next = m_in[m_pos];
            if (!((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z'))) {
                ++m_pos;
                controlSymbol(next);
                continue;
            }
            const size_t start = m_pos;
            while (m_pos < m_in.size() && m_pos - start < 32
                && ((m_in[m_pos] >= 'a' && m_in[m_pos] <= 'z') || (m_in[m_pos] >= 'A' && m_in[m_pos] <= 'Z')))
                ++m_pos;
            const std::string_view word = m_in.substr(start, m_pos - start);
            bool negative = false;
            if (m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && m_in[m_pos + 1] >= '0' && m_in[m_pos + 1] <= '9') {
                negative = true;
                ++m_pos;
            }
            std::int64_t parameter = 0;
            for (int digits = 0; m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9'; ++m_pos, ++digits) {
                if (digits < 10)
                    parameter = parameter * 10 + (m_in[m_pos] - '0');
            }
            if (m_pos < m_in.size() && m_in[m_pos] == ' ')
                ++m_pos;
            controlWord(word, negative ? -parameter : parameter);
        } else if (c != '\r' && c != '\n' && c != '\0' && !takeSkippedCharacter() && visible()) {
            byte(c);
        }
    }
    flushBytes();
    return std::move(m_out);
}

bool RtfReader::takeSkippedCharacter()
{
    if (m_pendingSkip == 0)
        return false;
    --m_pendingSkip;
    return true;
}

void RtfReader::controlSymbol(char c)
{
    if (c == '*') {
        m_state.skip = true; // a destination this reader may not know: never text
        return;
    }
    if (c == '\'') {
        int value = 0;
        for (int i = 0; i < 2 && m_pos < m_in.size(); ++i, ++m_pos) {
            const char h = m_in[m_pos];
            const int digit = h >= '0' && h <= '9' ? h - '0'
                : h >= 'a' && h <= 'f'             ? h - 'a' + 10
                : h >= 'A' && h <= 'F'             ? h - 'A' + 10
                                                   : -1;
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        if (!takeSkippedCharacter() && visible())
            byte(static_cast<char>(value));
        return;
    }
    if (takeSkippedCharacter() || !visible())
        return;
    if (c == '\\' || c == '{' || c == '}')
        byte(c);
    else if (c == '~')
        codepoint(0xA0);
    else if (c == '_')
        codepoint(0x2011);
    else if (c == '\r' || c == '\n')
        codepoint('\n');
}

void RtfReader::controlWord(std::string_view word, std::int64_t parameter)
{
    if (word == "bin") {
        // Binary data of the given length: never text, never markup.
        m_pos += static_cast<size_t>(std::clamp<std::int64_t>(parameter, 0, std::int64_t(m_in.size() - m_pos)));
        return;
    }
    if (takeSkippedCharacter())
        return; // a fallback of the \u before
    if (word == "u") {
        unicode(parameter);
    } else if (word == "uc") {
        m_state.unicodeSkip = static_cast<int>(std::clamp<std::int64_t>(parameter, 0, 8));
    } else if (word == "ansicpg") {
        if (parameter != m_codepage) {
            flushBytes();
            if (m_converter != kNoConverter)
                iconv_close(m_converter);
            m_converter = kNoConverter;
            m_codepage = parameter;
        }
    } else if (isSkippedDestination(word)) {
        m_state.skip = true;
    } else if (const char32_t symbol = symbolOf(word); symbol != 0 && visible()) {
        codepoint(symbol);
    }
}

void RtfReader::unicode(std::int64_t parameter)
{
    // A 16-bit signed value; characters beyond the BMP come as two
    // surrogates, each with its own fallback.
    const auto unit = static_cast<char32_t>(static_cast<std::uint16_t>(parameter));
    const bool show = visible();
    m_pendingSkip = m_state.unicodeSkip;
    if (!show)
        return;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        m_highSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        const char32_t high = std::exchange(m_highSurrogate, 0);
        codepoint(high != 0 ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
        return;
    }
    if (unit != 0)
        codepoint(unit);
}

void RtfReader::byte(char c)
{
    if (m_highSurrogate != 0) {
        m_highSurrogate = 0;
        codepoint(0xFFFD);
    }
    m_bytes += c;
}

void RtfReader::codepoint(char32_t c)
{
    if (m_highSurrogate != 0 && (c < 0xDC00 || c > 0xDFFF)) {
        m_highSurrogate = 0;
        codepoint(0xFFFD);
    }
    flushBytes();
    if (c == '\n')
        m_out += "\r\n";
    else
        appendUtf8(m_out, QChar::fromUcs4(c));
}

void RtfReader::flushBytes()
{
    if (m_bytes.empty())
        return;
    if (isAscii(m_bytes)) {
        m_out += m_bytes;
        m_bytes.clear();
        return;
    }
    if (m_converter == kNoConverter) {
        const std::string name = m_codepage == 65001 ? "UTF-8" : "CP" + std::to_string(m_codepage);
        m_converter = iconv_open("UTF-8", name.c_str());
        if (m_converter == kNoConverter)
            m_converter = iconv_open("UTF-8", "CP1252");
    }
    char *in = m_bytes.data();
    size_t inLeft = m_bytes.size();
    while (inLeft > 0) {
        char buffer[256];
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result
            = m_converter == kNoConverter ? static_cast<size_t>(-1) : iconv(m_converter, &in, &inLeft, &out, &outLeft);
        m_out.append(buffer, static_cast<size_t>(out - buffer));
        if (result == static_cast<size_t>(-1) && out == buffer) {
            // A byte the code page has no character for (or no converter).
            appendUtf8(m_out, QChar::fromUcs4(0xFFFD));
            ++in;
            --inLeft;
            if (m_converter != kNoConverter)
                iconv(m_converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    m_bytes.clear();
}

} // namespace

std::string rtfToText(std::string_view rtf)
{
    return RtfReader(rtf).read();
}

} // namespace quarrelby::outlook
