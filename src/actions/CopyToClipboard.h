#pragma once

namespace quarrelby {

class ResultList;
class Shell;
struct ActionContext;

// "Copy Results To Clipboard".
void copyToClipboard(ActionContext &context);

enum class CopyOutcome {
    NoRows, // the list was empty; the clipboard was left alone
    Copied,
    Refused, // the clipboard did not take the text
};

// Puts the ticked rows on the clipboard. Failures while reading the list pass
// to the caller.
CopyOutcome copyListToClipboard(Shell &shell, const ResultList &list);

inline constexpr char kCopiedMessage[] = "Results have been copied to the clipboard.\r\r"
                                         "Click a text area where you normally type and press Ctrl+V to paste the "
                                         "clipboard.";
inline constexpr char kNotCopiedMessage[] = "The results could not be copied: the clipboard could not be set.\r\r"
                                            "Another program may be holding it open. Please try again.";

} // namespace quarrelby
