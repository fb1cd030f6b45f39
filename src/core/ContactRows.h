#pragma once

#include "core/FieldCatalogue.h"

#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>

namespace quarrelby {

struct Contact;
class ResultList;

// A contact's 33 cells in column order, as the list shows them: text as the
// contact holds it, without a copy; a date or a pair of properties as text
// of their own. Valid while both the contact and this stay unchanged.
class ContactCells {
public:
    void fill(const Contact &contact);
    [[nodiscard]] const std::array<QStringView, kFieldCount> &views() const { return m_views; }

private:
    std::array<QStringView, kFieldCount> m_views {};
    std::array<QString, kFieldCount> m_made {};
};

// A property value as cell text: strings unchanged, dates in the locale's
// short date form with a four-digit year, then the time when it is not midnight.
[[nodiscard]] QString cellText(const QVariant &value);

// Adds the contact's 33 cells as a new row of the list and returns its number.
int addContactRow(ResultList &list, const Contact &contact);

} // namespace quarrelby
