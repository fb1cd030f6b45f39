#pragma once

#include <QString>

namespace quarrelby {

class DialogService;

inline constexpr char kSupportAddress[] = "support@quarrelby.org";

// The text of the "Application Error" box: description, CR LF, where it
// happened, CR CR, and whom to write to.
[[nodiscard]] QString errorReportText(const QString &location, int line, const QString &description);

// Shows the report, modal, and returns when the user pressed OK.
void ErrorReport(DialogService &shell, const QString &location, int line, const QString &description);

} // namespace quarrelby
