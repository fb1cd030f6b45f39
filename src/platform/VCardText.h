#pragma once

#include "platform/VCardReader.h"

#include <QString>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quarrelby::vcard {

// Turns bytes into text: valid UTF-8 is UTF-8; anything else is read in the
// declared charset, else in Windows-1252. Keeps its iconv descriptors open
// between calls, since a large address book asks thousands of times.
class TextDecoder {
public:
    TextDecoder() = default;
    ~TextDecoder();
    TextDecoder(const TextDecoder &) = delete;
    TextDecoder &operator=(const TextDecoder &) = delete;

    [[nodiscard]] QString decode(std::string_view bytes, std::string_view charset);

private:
    // Converts with iconv; false when the charset is unknown to it.
    bool convert(std::string_view bytes, const std::string &charset, QString &out);

    std::map<std::string, void *, std::less<>> m_converters;
    std::string m_buffer;
};

enum class Encoding { Plain, QuotedPrintable, Binary };

// Reads the values of one card's properties: the encoding and charset
// parameters, quoted-printable, escapes, and CR LF between lines.
class ValueReader {
public:
    ValueReader(const Card &card, TextDecoder &decoder)
        : m_card(card)
        , m_decoder(decoder)
    {
    }

    [[nodiscard]] Encoding encoding(const Property &property) const;
    // The whole value as text; empty for binary data.
    [[nodiscard]] QString text(const Property &property);
    // The components of a structured value (N, ADR, ORG), split at the
    // semicolons that are not escaped; at least `count` entries.
    [[nodiscard]] std::vector<QString> components(const Property &property, size_t count);

    // The first value of the named parameter, quotes removed; empty if absent.
    [[nodiscard]] std::string_view parameter(const Property &property, std::string_view name) const;
    [[nodiscard]] bool hasParameter(const Property &property, std::string_view name) const;

private:
    QString decodePart(const Property &property, std::string_view raw, Encoding how);

    const Card &m_card;
    TextDecoder &m_decoder;
    std::string m_bytes;
    std::string m_clean;
};

// Quoted-printable bytes decoded; a broken escape is kept as written.
void decodeQuotedPrintable(std::string_view in, std::string &out);

// Backslash escapes resolved. vCard 2.1 knows no \n; later versions do.
[[nodiscard]] QString unescape(const QString &text, Version version);

// Escapes resolved and line breaks made CR LF, on bytes of an ASCII-based
// text (UTF-8), in one pass: what unescape and withCrLf do together.
void resolveEscapes(std::string_view in, Version version, std::string &out);

// Every line break (CR LF, LF or CR) as CR LF, the way Outlook keeps them.
[[nodiscard]] QString withCrLf(const QString &text);

} // namespace quarrelby::vcard
