#pragma once

#include "format/vcard/VCardReader.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quarrelby::vcard {

// Turns bytes into UTF-8: valid UTF-8 stays as it is; anything else is read
// in the declared charset, else in Windows-1252. Keeps its iconv
// descriptors open between calls, since a large address book asks
// thousands of times.
class TextDecoder {
public:
    TextDecoder() = default;
    ~TextDecoder();
    TextDecoder(const TextDecoder &) = delete;
    TextDecoder &operator=(const TextDecoder &) = delete;

    // The bytes as UTF-8 in out, which is overwritten.
    void toUtf8(std::string_view bytes, std::string_view charset, std::string &out);

private:
    // Converts with iconv; false when the charset is unknown to it.
    bool convert(std::string_view bytes, const std::string &charset, std::string &out);

    std::map<std::string, void *, std::less<>> m_converters;
};

enum class Encoding { Plain, QuotedPrintable, Binary };

// The components of a structured value (N, ADR, ORG) as UTF-8 text, split at
// the semicolons that are not escaped. A component past the last one written
// is empty. Reused from card to card, so its buffers are allocated once.
class Components {
public:
    [[nodiscard]] std::string_view operator[](size_t index) const
    {
        if (index >= m_ends.size())
            return {};
        const size_t begin = index == 0 ? 0 : m_ends[index - 1];
        return std::string_view(m_bytes).substr(begin, m_ends[index] - begin);
    }
    [[nodiscard]] size_t size() const { return m_ends.size(); }
    void clear()
    {
        m_bytes.clear();
        m_ends.clear();
    }

private:
    friend class ValueReader;

    std::string m_bytes;
    std::vector<size_t> m_ends;
};

// Reads the values of one card's properties: the encoding and charset
// parameters, quoted-printable, escapes, and CR LF between lines. One reader
// serves card after card and keeps its buffers.
class ValueReader {
public:
    explicit ValueReader(TextDecoder &decoder)
        : m_decoder(decoder)
    {
    }

    void setCard(const Card &card) { m_card = &card; }

    [[nodiscard]] Encoding encoding(const Property &property) const;
    // The whole value as UTF-8 text, empty for binary data; valid until the
    // reader is asked again.
    [[nodiscard]] std::string_view utf8(const Property &property);
    // The components of a structured value, into out; with ',' as the
    // separator, the values of a list (CATEGORIES, NICKNAME).
    void components(const Property &property, Components &out, char separator = ';');

    // The first value of the named parameter, quotes removed; empty if absent.
    [[nodiscard]] std::string_view parameter(const Property &property, std::string_view name) const;

private:
    // Appends one encoded part of a value to out as UTF-8, decoded.
    void appendUtf8(const Property &property, std::string_view raw, Encoding how, std::string &out);

    const Card *m_card = nullptr;
    TextDecoder &m_decoder;
    std::string m_bytes;
    std::string m_converted;
    std::string m_text;
};

// Backslash escapes resolved (vCard 2.1 knows no \n; later versions do) and
// every line break (CR LF, LF or CR) made CR LF, the way Outlook keeps them,
// on bytes of an ASCII-based text (UTF-8), in one pass. The result is
// appended to out.
void appendResolved(std::string_view in, Version version, std::string &out);

} // namespace quarrelby::vcard
