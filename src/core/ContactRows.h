#pragma once

#include <QString>
#include <QVariant>

namespace quarrelby {

struct Contact;
class ResultList;

// A property value as cell text: strings unchanged, dates in the locale's
// short date form with a four-digit year, then the time when it is not midnight.
[[nodiscard]] QString cellText(const QVariant &value);

// Adds the contact's 33 cells as a new row of the list and returns its number.
int addContactRow(ResultList &list, const Contact &contact);

} // namespace quarrelby
