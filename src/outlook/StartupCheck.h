#pragma once

#include <QString>

namespace quarrelby {

class AutomationFactory;
class Shell;

[[nodiscard]] QString outlookMissingText();

// Returns when the contact store can be opened; otherwise shows the advice and
// ends the program.
void RequireOutlookInstance(Shell &shell, const AutomationFactory &automation);

} // namespace quarrelby
