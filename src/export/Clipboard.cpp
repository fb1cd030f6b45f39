#include "export/Clipboard.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/ResultList.h"
#include "export/ColumnWidths.h"
#include "platform/AutomationError.h"
#include "platform/Shell.h"

#include <optional>

namespace quarrelby {

namespace {

// Another program holding the clipboard open is the usual refusal; it lets go
// within a few attempts, and an endless loop must not freeze the window.
constexpr int kClipboardAttempts = 1000;

} // namespace

QString clipboardText(const ResultList &list, const std::vector<int> &widths, EventLoopService &shell)
{
    const int rows = list.itemCount();
    // One allocation for the whole text instead of a doubling string: the
    // text of a large list is of the order of the list itself.
    qsizetype lineBound = 2;
    for (const int w : widths)
        lineBound += w + 1;
    qsizetype ticked = 0;
    for (int r = 1; r <= rows; ++r)
        ticked += list.checked(r) ? 1 : 0;
    QString text;
    text.reserve(ticked * lineBound);

    for (int r = 1; r <= rows; ++r) {
        shell.yield();
        if (!list.checked(r))
            continue;
        const int columns = list.headerCount();
        for (int c = 1; c <= columns; ++c) {
            shell.yield();
            if (c < 1 || static_cast<size_t>(c) > widths.size())
                throw AutomationError(QStringLiteral("Subscript out of range"));
            const int width = widths[static_cast<size_t>(c - 1)];
            const QStringView cell = list.cellView(r, c);
            text += cell;
            // A cell longer than its width (the list changed since it was
            // measured) goes without filling.
            if (width > cell.size())
                appendSpaces(text, width - cell.size());
            text += QLatin1Char('\t');
        }
        if (columns >= 1)
            text.chop(1); // the TAB after the last cell
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
            --end;
        text.truncate(end);
        text += QLatin1String("\r\n");
    }
    return text;
}

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

bool SetClipboardTextWithRetry(ClipboardService &shell, const QString &text, int format)
{
    for (int attempt = 1; attempt <= kClipboardAttempts; ++attempt) {
        try {
            if (shell.clipboardSetText(text, format))
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
    const QString text = clipboardText(list, widths, shell);
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
