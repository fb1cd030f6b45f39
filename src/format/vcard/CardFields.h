#pragma once

#include "format/vcard/VCardReader.h"

#include <memory>
#include <string>
#include <vector>

namespace quarrelby::vcard {

class TextDecoder;
class ValueReader;

// A value a card may hold many of, with its types (vcard::Type bits) and
// the name a user gave its kind (an Apple label, a type no rule names).
struct TypedValue {
    std::string value;
    unsigned types = 0;
    std::string label;
    bool preferred = false;
};

struct PostalAddress {
    std::string poBox;
    std::string extended;
    std::string street;
    std::string city;
    std::string region;
    std::string postalCode;
    std::string country;
    std::string text; // the address as one text (LABEL), when the card has it
    unsigned types = 0;
    std::string label;
};

// A value with the name of its kind: a relation ("Spouse" and a name), a
// date ("Anniversary" and 2001-05-12), a custom field.
struct LabelledValue {
    std::string label;
    std::string value;
};

// A card resolved into every field the import formats have a column for,
// as UTF-8 text with CR LF between lines, in the card's order.
struct CardFields {
    std::string fullName;
    std::string prefix;
    std::string given;
    std::string middle;
    std::string family;
    std::string suffix;
    std::string phoneticGiven;
    std::string phoneticMiddle;
    std::string phoneticFamily;
    std::string fileAs;
    std::vector<std::string> nicknames;
    std::string organization;
    std::vector<std::string> units;
    std::string title;
    std::string role;
    // yyyy-mm-dd, --mm-dd without a year, or the text as the card has it.
    std::string birthday;
    std::vector<TypedValue> emails;
    std::vector<TypedValue> phones;
    std::vector<PostalAddress> addresses;
    std::vector<TypedValue> webPages;
    // The label is the service (Jabber, AIM, or the scheme of an IMPP URI).
    std::vector<TypedValue> imAddresses;
    std::vector<LabelledValue> events;
    std::vector<LabelledValue> relations;
    std::vector<LabelledValue> custom;
    std::vector<std::string> categories;
    std::string note;
    std::vector<std::string> photoUris;
    unsigned embeddedPhotos = 0;
    // Properties with a value that none of the above takes; bookkeeping
    // (version, uid, revision, layout) is not counted.
    unsigned otherFields = 0;
    bool distributionList = false;
};

// Resolves cards into their fields, one after another, keeping its charset
// converters from card to card.
class FieldReader {
public:
    FieldReader();
    ~FieldReader();
    FieldReader(const FieldReader &) = delete;
    FieldReader &operator=(const FieldReader &) = delete;

    void read(const Card &card, CardFields &out);

private:
    std::unique_ptr<TextDecoder> m_decoder;
    std::unique_ptr<ValueReader> m_values;
};

// A date of a card as the import formats write it: yyyy-mm-dd, --mm-dd
// without a year (omitYear is Apple's X-APPLE-OMIT-YEAR), else the text.
[[nodiscard]] std::string isoDate(std::string_view text, std::string_view omitYear = {});

} // namespace quarrelby::vcard
