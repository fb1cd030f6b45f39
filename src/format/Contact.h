#pragma once

#include "format/Omissions.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringView>
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
    // Every property but Birthday as UTF-16, back to back from textsBegin
    // on: property i ends at ends[i] and starts where property i - 1 ends.
    // Readers gather UTF-8 and convert it (appendUtf8) on the thread that
    // reads the book, so whoever lists the contact takes the text as it is.
    // Contacts read together may share one texts, each with its own range.
    QString texts;
    quint32 textsBegin = 0;
    std::array<quint32, kContactPropertyCount> ends {};
    // Empty, a QDate, a QDateTime (a time was given), or text such as
    // "--03-15" for a birthday without a year.
    QVariant birthday;
    // The vCard UID, or the book's own stable id of the contact; empty when
    // it has none. A contact whose uid was listed already is listed once.
    std::string uid;
    // What the 33 columns have no room for (counted where a card is read).
    Omissions omitted;

    // Appends the text of the next property, given as UTF-8, and ends it.
    void appendUtf8(int index, std::string_view utf8);
    // The same into texts shared with other contacts: this contact's range
    // starts where texts ended at its property 0.
    void appendUtf8(int index, std::string_view utf8, QString &sharedTexts);

    [[nodiscard]] QStringView view(int index) const;
    [[nodiscard]] QString text(int index) const;
    [[nodiscard]] QVariant value(int index) const;
};

} // namespace quarrelby
