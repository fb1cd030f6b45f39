#pragma once

#include "format/Contact.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// Everything a contact holds, one entry per property as it would be listed
// (the birthday with its type), then whether it is a list and its uid: two
// contacts read alike when these are equal.
inline QStringList contactFields(const quarrelby::Contact &contact)
{
    QStringList fields;
    for (int i = 0; i < quarrelby::kContactPropertyCount; ++i) {
        const QVariant value = contact.value(i);
        fields << QLatin1String(value.typeName() ? value.typeName() : "-") + QLatin1Char('=') + value.toString();
    }
    fields << (contact.distributionList ? QStringLiteral("list") : QStringLiteral("contact"))
           << QString::fromStdString(contact.uid);
    return fields;
}

// The same comparison without building the texts: for the many contacts of
// a large book, where only a difference needs telling.
inline bool sameContact(const quarrelby::Contact &a, const quarrelby::Contact &b)
{
    for (int i = 0; i < quarrelby::kContactPropertyCount; ++i) {
        if (i == quarrelby::Birthday ? a.birthday != b.birthday : a.view(i) != b.view(i))
            return false;
    }
    return a.distributionList == b.distributionList && a.uid == b.uid;
}
