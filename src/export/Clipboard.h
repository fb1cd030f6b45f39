#pragma once

#include <QString>

#include <vector>

namespace quarrelby {

class ResultList;
class ClipboardService;
class EventLoopService;
class Shell;
struct FormContext;

// "Copy Results To Clipboard".
void PushButton3_Click(FormContext &form);

enum class CopyOutcome {
    NoRows, // the list was empty; the clipboard was left alone
    Copied,
    Refused, // the clipboard did not take the text
};

// Puts the ticked rows on the clipboard. Failures while reading the list pass
// to the caller.
CopyOutcome CopyListToClipboard(Shell &shell, const ResultList &list);

// Each never throws and gives up after 1000 refused attempts.
void ClearClipboardWithRetry(ClipboardService &shell);
[[nodiscard]] bool SetClipboardTextWithRetry(ClipboardService &shell, const QString &text, int format);

// One line per ticked row, cells padded to widths and TAB-separated, the last
// cell bare and the line's trailing spaces removed, each line ended by CR LF.
// Yields to the shell as it goes.
[[nodiscard]] QString clipboardText(const ResultList &list, const std::vector<int> &widths, EventLoopService &shell);

inline constexpr char kCopiedMessage[] = "Results have been copied to the clipboard.\r\r"
                                         "Click a text area where you normally type and press Ctrl+V to paste the "
                                         "clipboard.";
inline constexpr char kNotCopiedMessage[] = "The results could not be copied: the clipboard could not be set.\r\r"
                                            "Another program may be holding it open. Please try again.";

} // namespace quarrelby
