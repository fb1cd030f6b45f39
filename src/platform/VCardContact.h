#pragma once

#include "platform/VCardReader.h"

#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace quarrelby::vcard {

class TextDecoder;

// The Outlook contact properties a card answers, in the extraction's order.
inline constexpr int kContactPropertyCount = 34;
enum ContactProperty : int {
    FullName,
    Birthday,
    JobTitle,
    CompanyName,
    FileAs,
    Email1Address,
    Email2Address,
    Email3Address,
    WebPage,
    IMAddress,
    TTYTDDTelephoneNumber,
    AssistantName,
    AssistantTelephoneNumber,
    BusinessTelephoneNumber,
    Business2TelephoneNumber,
    BusinessFaxNumber,
    CallbackTelephoneNumber,
    CarTelephoneNumber,
    CompanyMainTelephoneNumber,
    HomeTelephoneNumber,
    Home2TelephoneNumber,
    HomeFaxNumber,
    ISDNNumber,
    MobileTelephoneNumber,
    OtherTelephoneNumber,
    OtherFaxNumber,
    PagerNumber,
    PrimaryTelephoneNumber,
    RadioTelephoneNumber,
    TelexNumber,
    BusinessAddress,
    HomeAddress,
    OtherAddress,
    Body,
};

// The index of an Outlook property name, or -1 for a name no card answers.
[[nodiscard]] int contactPropertyIndex(const QString &name);
[[nodiscard]] QString contactPropertyName(int index);
[[nodiscard]] QLatin1StringView contactPropertyLatin1(int index);

// One card resolved into what Outlook would show: the only thing kept of a
// card once it has been read.
struct Contact {
    bool distributionList = false;
    // Every property but Birthday as UTF-8, back to back: property i ends at
    // ends[i] and starts where property i - 1 ends.
    std::string texts;
    std::array<size_t, kContactPropertyCount> ends {};
    // Empty, a QDate, a QDateTime (a time was given), or text such as
    // "--03-15" for a birthday without a year.
    QVariant birthday;

    [[nodiscard]] std::string_view utf8(int index) const;
    [[nodiscard]] QString text(int index) const;
    [[nodiscard]] QVariant value(int index) const;
};

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

private:
    std::unique_ptr<TextDecoder> m_decoder;
    std::unique_ptr<ContactBuilder> m_builder;
};

// A BDAY value as Outlook would hold it (see Contact::birthday).
[[nodiscard]] QVariant birthdayValue(std::string_view text, std::string_view omitYear);

} // namespace quarrelby::vcard
