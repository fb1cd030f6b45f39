#pragma once

#include "format/Contact.h"
#include "format/vcard/VCardReader.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <string_view>
#include <vector>

namespace quarrelby::vcard {

class TextDecoder;

class ContactBuilder;

// Resolves cards into contacts, one after another. Keeps its buffers and
// charset converters from card to card: a large address book reads
// thousands of cards through one reader.
class ContactReader {
public:
    ContactReader();
    ~ContactReader();
    ContactReader(const ContactReader &) = delete;
    ContactReader &operator=(const ContactReader &) = delete;

    [[nodiscard]] Contact read(const Card &card);
    // The same with the text appended to sharedTexts rather than kept in
    // the contact: give the contacts sharedTexts once it is complete (a
    // large book then costs one allocation per few hundred contacts).
    [[nodiscard]] Contact read(const Card &card, QString &sharedTexts);
    // Only what tells the contact from others: its uid, and whether it is
    // a distribution list; no property. For a walk that wants the card alone.
    [[nodiscard]] Contact identify(const Card &card);

private:
    std::unique_ptr<TextDecoder> m_decoder;
    std::unique_ptr<ContactBuilder> m_builder;
};

// A BDAY (or other date) value as Outlook would hold it (see
// Contact::birthday): a QDate, a QDateTime when a time was given, "--03-15"
// without a year (omitYear is Apple's X-APPLE-OMIT-YEAR), else the text.
[[nodiscard]] QVariant dateValue(std::string_view text, std::string_view omitYear);

// The contacts of a whole vCard text (UTF-16 converted first), resolved by
// contacts, which may go on to the next text.
[[nodiscard]] std::vector<Contact> readContacts(std::string_view text, ContactReader &contacts);

} // namespace quarrelby::vcard
