#pragma once

#include <QString>
#include <QVariant>

namespace quarrelby {

class AutomationFactory;
struct FormContext;

// True when an Outlook application object can be created; never throws.
[[nodiscard]] bool IsOutlookInstalled(const AutomationFactory &automation);

// "Extract Contacts From Outlook".
void PushButton2_Click(FormContext &form);

// Sets the column widths from the check boxes and fills the list with one row
// of 33 cells per contact item of the default Contacts folder.
void GetAllContactsOutlook(FormContext &form);

// A property value as cell text: strings unchanged, dates in the locale's
// short date form with a four-digit year, then the time when it is not midnight.
[[nodiscard]] QString cellText(const QVariant &value);

} // namespace quarrelby
