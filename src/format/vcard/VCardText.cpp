#include "format/vcard/VCardText.h"

#include "format/Utf8.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cerrno>
#include <iconv.h>

namespace quarrelby::vcard {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr unsigned char kHigh = 1;
constexpr unsigned char kSpecial = 2;
// What a value's bytes need: a charset decision (kHigh), escapes or line
// breaks (kSpecial). One table lookup a byte keeps the common case cheap.
constexpr std::array<unsigned char, 256> kByteClass = [] {
    std::array<unsigned char, 256> table {};
    for (int c = 0x80; c < 0x100; ++c)
        table[static_cast<size_t>(c)] = kHigh;
    table['\\'] = table['\r'] = table['\n'] = kSpecial;
    return table;
}();

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    if (!value.empty() && value.front() == '"')
        return value.substr(1);
    return value;
}

// Quoted-printable bytes decoded; a broken escape is kept as written.
void decodeQuotedPrintable(std::string_view in, std::string &out)
{
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size()) {
            const int hi = hexDigit(in[i + 1]);
            const int lo = hexDigit(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi << 4 | lo));
                i += 2;
                continue;
            }
        }
        out.push_back(c);
    }
}

} // namespace

TextDecoder::~TextDecoder()
{
    for (auto &[name, converter] : m_converters) {
        if (converter != kNoConverter)
            iconv_close(static_cast<iconv_t>(converter));
    }
}

bool TextDecoder::convert(std::string_view bytes, const std::string &charset, std::string &out)
{
    auto found = m_converters.find(charset);
    if (found == m_converters.end())
        found = m_converters.emplace(charset, iconv_open("UTF-8", charset.c_str())).first;
    auto *converter = static_cast<iconv_t>(found->second);
    if (converter == kNoConverter)
        return false;

    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    out.resize(bytes.size() * 4 + 16);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char *outStart = out.data();
    char *outPtr = outStart;
    size_t outLeft = out.size();
    auto grow = [&] {
        const size_t used = static_cast<size_t>(outPtr - outStart);
        out.resize(out.size() * 2);
        outStart = out.data();
        outPtr = outStart + used;
        outLeft = out.size() - used;
    };
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            grow();
            continue;
        }
        // A byte the charset does not define, or a sequence cut short:
        // mark it and go on with the next byte.
        if (outLeft < 3)
            grow();
        *outPtr++ = '\xEF';
        *outPtr++ = '\xBF';
        *outPtr++ = '\xBD';
        outLeft -= 3;
        ++in;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(static_cast<size_t>(outPtr - outStart));
    return true;
}

void TextDecoder::toUtf8(std::string_view bytes, std::string_view charset, std::string &out)
{
    if (isAscii(bytes) || QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8()) {
        out.assign(bytes);
        return;
    }
    if ((!charset.empty() && convert(bytes, std::string(charset), out)) || convert(bytes, "WINDOWS-1252", out)) {
        // iconv's UTF-8 takes code points past U+10FFFF, which no UTF-8
        // reader does.
        if (!QByteArrayView(out.data(), static_cast<qsizetype>(out.size())).isValidUtf8()) {
            const QString text = QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
            out.clear();
            appendUtf8(out, text);
        }
        return;
    }
    // Latin-1, which any byte is.
    out.clear();
    appendUtf8(out, QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

void appendResolved(std::string_view in, Version version, std::string &out)
{
    out.reserve(out.size() + in.size() + 8);
    size_t i = 0;
    while (i < in.size()) {
        size_t plain = i;
        while (plain < in.size() && !(kByteClass[static_cast<unsigned char>(in[plain])] & kSpecial))
            ++plain;
        out.append(in.data() + i, plain - i);
        i = plain;
        if (i == in.size())
            break;
        const char c = in[i];
        if (c == '\r') {
            if (i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else if (i + 1 < in.size()) {
            const char n = in[i + 1];
            if (n == '\\' || n == ';' || n == ',' || n == ':') {
                out.push_back(n);
                ++i;
            } else if ((n == 'n' || n == 'N') && version != Version::V21) {
                out += "\r\n";
                ++i;
            } else {
                out.push_back(c);
            }
        } else {
            out.push_back(c);
        }
        ++i;
    }
}

std::string_view ValueReader::parameter(const Property &property, std::string_view name) const
{
    for (const Parameter &p : m_card->parameters(property)) {
        if (equalsIgnoreCase(p.name, name))
            return unquoted(p.value);
    }
    return {};
}

Encoding ValueReader::encoding(const Property &property) const
{
    for (const Parameter &p : m_card->parameters(property)) {
        std::string_view token;
        if (p.name.empty())
            token = p.value;
        else if (equalsIgnoreCase(p.name, "ENCODING"))
            token = unquoted(p.value);
        else if (equalsIgnoreCase(p.name, "VALUE") && equalsIgnoreCase(unquoted(p.value), "BINARY"))
            return Encoding::Binary;
        else
            continue;
        if (equalsIgnoreCase(token, "QUOTED-PRINTABLE"))
            return Encoding::QuotedPrintable;
        if (equalsIgnoreCase(token, "BASE64") || equalsIgnoreCase(token, "B"))
            return Encoding::Binary;
    }
    if (property.value.starts_with("data:"))
        return Encoding::Binary;
    return Encoding::Plain;
}

void ValueReader::appendUtf8(const Property &property, std::string_view raw, Encoding how, std::string &out)
{
    if (how == Encoding::Binary || raw.empty())
        return;
    std::string_view bytes = raw;
    if (how == Encoding::QuotedPrintable) {
        decodeQuotedPrintable(raw, m_bytes);
        bytes = m_bytes;
    }
    unsigned found = 0;
    for (const char c : bytes)
        found |= kByteClass[static_cast<unsigned char>(c)];
    if ((found & kHigh) && !QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8()) {
        m_decoder.toUtf8(bytes, parameter(property, "CHARSET"), m_converted);
        bytes = m_converted;
        found |= kSpecial;
    }
    // UTF-8 never uses the bytes of a backslash, CR or LF inside a character,
    // so the escapes can be resolved on the bytes in one pass.
    if (found & kSpecial)
        appendResolved(bytes, m_card->version(), out);
    else
        out.append(bytes);
}

std::string_view ValueReader::utf8(const Property &property)
{
    const Encoding how = encoding(property);
    const std::string_view raw = property.value;
    if (how == Encoding::Plain) {
        // Most values are plain ASCII with nothing to resolve.
        unsigned found = 0;
        for (const char c : raw)
            found |= kByteClass[static_cast<unsigned char>(c)];
        if (found == 0)
            return raw;
    }
    m_text.clear();
    appendUtf8(property, raw, how, m_text);
    return m_text;
}

void ValueReader::components(const Property &property, Components &out, char separator)
{
    out.clear();
    const Encoding how = encoding(property);
    const std::string_view value = property.value;
    size_t start = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == separator) {
            appendUtf8(property, value.substr(start, i - start), how, out.m_bytes);
            out.m_ends.push_back(out.m_bytes.size());
            start = i + 1;
        }
    }
    appendUtf8(property, value.substr(std::min(start, value.size())), how, out.m_bytes);
    out.m_ends.push_back(out.m_bytes.size());
}

} // namespace quarrelby::vcard
