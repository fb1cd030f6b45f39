#include "export/Clipboard.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/ResultList.h"
#include "core/TableEncoders.h"
#include "platform/Shell.h"

#include <optional>

namespace quarrelby {

namespace {

// Another program holding the clipboard open is the usual refusal; it lets go
// within a few attempts, and an endless loop must not freeze the window.
constexpr int kClipboardAttempts = 1000;

} // namespace

void ClearClipboardWithRetry(ClipboardService &shell)
{
    for (int attempt = 1; attempt <= kClipboardAttempts; ++attempt) {
        try {
            if (shell.clipboardClear())
                return;
        } catch (...) {
        }
    }
}

bool SetClipboardTextWithRetry(ClipboardService &shell, const QByteArray &utf8, int format)
{
    for (int attempt = 1; attempt <= kClipboardAttempts; ++attempt) {
        try {
            if (shell.clipboardSetText(utf8, format))
                return true;
        } catch (...) {
        }
    }
    return false;
}

CopyOutcome CopyListToClipboard(Shell &shell, const ResultList &list)
{
    if (list.itemCount() <= 0)
        return CopyOutcome::NoRows;
    const std::vector<int> widths = measureColumnWidths(list, shell, CountHeaders::No);
    const QByteArray text = clipboardText(list, widths, shell);
    ClearClipboardWithRetry(shell);
    return SetClipboardTextWithRetry(shell, text, 0) ? CopyOutcome::Copied : CopyOutcome::Refused;
}

void PushButton3_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton3_Click"));
    // Stays unset when reading the list failed: the error report has told
    // the user, and claiming a copy would be false.
    std::optional<CopyOutcome> outcome;
    trap(106, [&] { outcome = CopyListToClipboard(form.shell, form.list); });
    trap(108, [&] {
        if (!outcome)
            return;
        form.shell.message(QString::fromLatin1(*outcome == CopyOutcome::Refused ? kNotCopiedMessage : kCopiedMessage));
    });
}

} // namespace quarrelby
