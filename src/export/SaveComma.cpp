#include "export/SaveComma.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"
#include "export/EncodedLines.h"
#include "export/SaveList.h"
#include "platform/Automation.h"
#include "platform/FileSystemObject.h"
#include "platform/Shell.h"

#include <string_view>

namespace quarrelby {

namespace {

bool needsQuotes(QStringView value)
{
    for (const char16_t u : std::u16string_view(value.utf16(), static_cast<size_t>(value.size()))) {
        // All four lie at or below ','; most characters of a value do not.
        if (u <= u',' && (u == u',' || u == u'"' || u == u'\r' || u == u'\n'))
            return true;
    }
    return false;
}

// Out: EncodedLines, or anything else with the same two appends.
template <typename Out> void appendField(Out &out, QStringView value)
{
    if (!needsQuotes(value)) {
        out.append(value);
        return;
    }
    out.append('"');
    QStringView rest(value);
    for (qsizetype quote = rest.indexOf(u'"'); quote >= 0; quote = rest.indexOf(u'"')) {
        out.append(rest.first(quote + 1));
        out.append('"');
        rest = rest.sliced(quote + 1);
    }
    out.append(rest);
    out.append('"');
}

struct StringOut {
    QString &text;
    void append(QStringView part) { text += part; }
    void append(char ascii) { text += QLatin1Char(ascii); }
};

} // namespace

QString commaField(const QString &value)
{
    QString field;
    StringOut out {field};
    appendField(out, value);
    return field;
}

void writeCommaLines(const ResultList &list, TextStream &stream, EventLoopService &shell)
{
    EncodedLines lines(stream);
    const int headers = list.headerCount();
    if (headers > 1) {
        for (int k = 1; k <= headers; ++k) {
            appendField(lines, list.columnText(k));
            lines.append(',');
        }
        lines.endLine();
    }

    const int rows = list.itemCount();
    for (int r = 1; r <= rows; ++r) {
        shell.yield();
        const int columns = list.headerCount();
        for (int k = 1; k <= columns; ++k) {
            appendField(lines, list.cellView(r, k));
            if (k != list.headerCount())
                lines.append(',');
        }
        // With one column there is no header, and every line but the last
        // carries a separator.
        if (list.headerCount() <= 1 && r != rows)
            lines.append(',');
        lines.endLine();
    }
    lines.flush();
}

void SaveListAsCommaDelimited(Shell &shell, AutomationFactory &automation, const ResultList &list, const QString &path)
{
    MessageAnswer answer = MessageAnswer::Yes;
    if (FileExists(shell, path))
        answer = shell.question(overwriteQuestion(path));
    if (answer != MessageAnswer::Yes)
        return;
    const quint64 revision = list.rowsRevision();
    auto files = automation.create<FileSystemObject>(QStringLiteral("Scripting.FileSystemObject"));
    auto stream = files->CreateTextFile(path, true);
    writeCommaLines(list, *stream, shell);
    requireSameRows(list, revision);
    stream->Close();
}

void PushButton4_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton4_Click"));
    const QString path = askForTextFileName(form.shell, trap);
    if (trap.test(118, [&] { return path.isEmpty(); }))
        return;
    trap(120, [&] { form.pointer.setValue(MousePointer::Hourglass); });
    trap(122, [&] { SaveListAsCommaDelimited(form.shell, form.automation, form.list, path); });
    trap(124, [&] { form.pointer.setValue(MousePointer::Default); });
}

} // namespace quarrelby
