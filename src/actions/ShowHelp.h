#pragma once

#include <QString>

namespace quarrelby {

class DialogService;

// The advice about Outlook's access prompt, as the Help button shows it.
[[nodiscard]] QString helpText();

// "Help".
void showHelp(DialogService &shell);

} // namespace quarrelby
