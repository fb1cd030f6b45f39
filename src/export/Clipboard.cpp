#include "export/Clipboard.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/ResultList.h"
#include "export/ColumnWidths.h"
#include "platform/AutomationError.h"
#include "platform/Shell.h"

#include <algorithm>
#include <optional>

namespace quarrelby {

namespace {

// Another program holding the clipboard open is the usual refusal; it lets go
// within a few attempts, and an endless loop must not freeze the window.
constexpr int kClipboardAttempts = 1000;

// A text written through a pointer into one buffer: for cells of a few
// characters QString's appends cost more than the copying itself.
class TextBuffer {
public:
    explicit TextBuffer(qsizetype expected) { resize(expected); }

    void append(QStringView part)
    {
        std::copy_n(part.utf16(), part.size(), room(part.size()));
        m_used += part.size();
    }

    void append(char16_t u)
    {
        *room(1) = u;
        ++m_used;
    }

    void appendSpaces(qsizetype count)
    {
        if (count <= 0)
            return;
        std::fill_n(room(count), count, u' ');
        m_used += count;
    }

    // Removes the spaces at the end.
    void chopSpaces()
    {
        while (m_used > 0 && m_data[m_used - 1] == u' ')
            --m_used;
    }

    QString take()
    {
        m_text.truncate(m_used);
        return std::move(m_text);
    }

private:
    char16_t *room(qsizetype count)
    {
        if (m_text.size() - m_used < count)
            resize(std::max(m_used + count, 2 * m_text.size()));
        return m_data + m_used;
    }

    void resize(qsizetype size)
    {
        // Qt leaves the characters a resize adds unset.
        m_text.resize(size);
        m_data = reinterpret_cast<char16_t *>(m_text.data());
    }

    QString m_text;
    char16_t *m_data = nullptr;
    qsizetype m_used = 0;
};

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
    TextBuffer text(ticked * lineBound);

    for (int r = 1; r <= rows; ++r) {
        shell.yield();
        if (!list.checked(r))
            continue;
        const int columns = list.headerCount();
        for (int c = 1; c <= columns; ++c) {
            shell.yield();
            if (c < 1 || static_cast<size_t>(c) > widths.size())
                throw AutomationError(QStringLiteral("Subscript out of range"));
            const QStringView cell = list.cellView(r, c);
            text.append(cell);
            // The last cell goes bare. A cell longer than its width (the
            // list changed since it was measured) goes without filling.
            if (c < columns) {
                text.appendSpaces(widths[static_cast<size_t>(c - 1)] - cell.size());
                text.append(u'\t');
            }
        }
        text.chopSpaces();
        text.append(u'\r');
        text.append(u'\n');
    }
    return text.take();
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
