#pragma once

#include "format/vcard/VCardReader.h"

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quarrelby::vcard {

// vCard text as it is written: every content line ends in CR LF and is
// folded so that no line is longer than 75 octets, never inside a UTF-8
// character (RFC 6350 section 3.2).

// Appends one content line, folded, with its CR LF.
void appendFolded(std::string &out, std::string_view line);

// Text as a value of vCard 3.0 or 4.0: backslash, comma and semicolon
// escaped, a line break of any kind written \n, NUL bytes dropped.
void appendEscaped(std::string &out, std::string_view text);

// A parameter value with the escapes of RFC 6868 (^^, ^n, ^'), in double
// quotes when it holds a comma, a semicolon or a colon.
void appendParameterValue(std::string &out, std::string_view value);

// A vCard 4.0 card made property by property, for the books that keep
// properties rather than vCards. Never fails: any bytes give a card that
// reads back as they were given.
class CardBuilder {
public:
    CardBuilder();

    // head is the name with its parameters (TEL;TYPE=work); the components
    // are escaped and joined by semicolons. Nothing is written when every
    // component is empty.
    void text(std::string_view head, std::initializer_list<std::string_view> components);
    // The values escaped and joined by commas (CATEGORIES); nothing when
    // there is none.
    void list(std::string_view head, std::span<const std::string> values);
    // prefix in vCard form already (a date, a URI scheme, a data URI),
    // followed by rest escaped; written even when both are empty.
    void raw(std::string_view head, std::string_view prefix, std::string_view rest = {});

    [[nodiscard]] std::string finish();

private:
    std::string m_out;
    std::string m_line;
};

// Rewrites cards as vCard 3.0 or 4.0, keeping every property and parameter
// and converting only what the target version requires: vCard 2.1's
// quoted-printable, charsets and bare parameters; between 3.0 and 4.0 what
// RFC 6350 Appendix A lists (TYPE=pref and PREF, LABEL, binary values and
// data URIs, GEO, tel: URIs, SORT-STRING); a distribution list becomes a
// KIND:group card with its members in 4.0. Keeps its buffers and charset
// converters from card to card.
class CardWriter {
public:
    explicit CardWriter(Version target);
    ~CardWriter();
    CardWriter(const CardWriter &) = delete;
    CardWriter &operator=(const CardWriter &) = delete;

    // Appends the card to out. False, nothing appended, for a distribution
    // list when the target is 3.0, which has no form for one.
    bool write(const Card &card, std::string &out);

private:
    class Conversion;
    std::unique_ptr<Conversion> m_conversion;
};

// Whether the card is a distribution list: KIND:group,
// X-ADDRESSBOOKSERVER-KIND:group or X-EVOLUTION-LIST:TRUE.
[[nodiscard]] bool isDistributionList(const Card &card);

} // namespace quarrelby::vcard
