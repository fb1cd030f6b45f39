#include "format/Contact.h"

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

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string_view Contact::utf8(int index) const
{
    const auto i = static_cast<size_t>(index);
    const size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(texts).substr(begin, ends[i] - begin);
}

QString Contact::text(int index) const
{
    return index == Birthday ? QString() : fromUtf8(utf8(index));
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
