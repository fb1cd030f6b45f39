#include "format/Contact.h"

#include "format/Utf8.h"

#include <QHash>

namespace quarrelby {

namespace {

const char *const kPropertyNames[kContactPropertyCount] = {"FullName", "Birthday", "JobTitle", "CompanyName", "FileAs",
    "Email1Address", "Email2Address", "Email3Address", "WebPage", "IMAddress", "TTYTDDTelephoneNumber", "AssistantName",
    "AssistantTelephoneNumber", "BusinessTelephoneNumber", "Business2TelephoneNumber", "BusinessFaxNumber",
    "CallbackTelephoneNumber", "CarTelephoneNumber", "CompanyMainTelephoneNumber", "HomeTelephoneNumber",
    "Home2TelephoneNumber", "HomeFaxNumber", "ISDNNumber", "MobileTelephoneNumber", "OtherTelephoneNumber",
    "OtherFaxNumber", "PagerNumber", "PrimaryTelephoneNumber", "RadioTelephoneNumber", "TelexNumber", "BusinessAddress",
    "HomeAddress", "OtherAddress", "Body"};

} // namespace

void Contact::appendUtf8(int index, std::string_view utf8)
{
    appendUtf8(index, utf8, texts);
}

void Contact::appendUtf8(int index, std::string_view utf8, QString &sharedTexts)
{
    if (index == 0)
        textsBegin = static_cast<quint32>(sharedTexts.size());
    if (!utf8.empty()) {
        const auto size = static_cast<qsizetype>(utf8.size());
        if (isAscii(utf8))
            sharedTexts.append(QLatin1StringView(utf8.data(), size));
        else
            sharedTexts.append(QString::fromUtf8(utf8.data(), size));
    }
    const auto end = static_cast<quint32>(sharedTexts.size());
    for (auto i = static_cast<size_t>(index); i < ends.size(); ++i)
        ends[i] = end;
}

QStringView Contact::view(int index) const
{
    if (index == Birthday)
        return {};
    const auto i = static_cast<size_t>(index);
    const quint32 begin = i == 0 ? textsBegin : ends[i - 1];
    return QStringView(texts).sliced(begin, ends[i] - begin);
}

QString Contact::text(int index) const
{
    return view(index).toString();
}

QVariant Contact::value(int index) const
{
    return index == Birthday ? birthday : QVariant(text(index));
}

int contactPropertyIndex(const QString &name)
{
    static const QHash<QString, int> indexes = [] {
        QHash<QString, int> map;
        for (int i = 0; i < kContactPropertyCount; ++i)
            map.insert(QLatin1String(kPropertyNames[i]), i);
        return map;
    }();
    return indexes.value(name, -1);
}

QLatin1StringView contactPropertyName(int index)
{
    return QLatin1StringView(kPropertyNames[index]);
}

} // namespace quarrelby
