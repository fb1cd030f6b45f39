#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QVariant>

#include <array>
#include <string>
#include <string_view>

namespace quarrelby {

// The Outlook contact properties an address book answers, in the extraction's
// order: the one list of them. The field catalogue and the contact store refer
// to them by these values, so a misspelt property does not compile.
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
// The Outlook name of a property, such as "FullName".
[[nodiscard]] QLatin1StringView contactPropertyName(int index);

// One contact of any address book resolved into what Outlook would show: the
// only thing kept of it once it has been read.
struct Contact {
    bool distributionList = false;
    // Every property but Birthday as UTF-8, back to back: property i ends at
    // ends[i] and starts where property i - 1 ends.
    std::string texts;
    std::array<size_t, kContactPropertyCount> ends {};
    // Empty, a QDate, a QDateTime (a time was given), or text such as
    // "--03-15" for a birthday without a year.
    QVariant birthday;
    // The vCard UID, or the book's own stable id of the contact; empty when
    // it has none. A contact whose uid was listed already is listed once.
    std::string uid;

    [[nodiscard]] std::string_view utf8(int index) const;
    [[nodiscard]] QString text(int index) const;
    [[nodiscard]] QVariant value(int index) const;
};

} // namespace quarrelby
