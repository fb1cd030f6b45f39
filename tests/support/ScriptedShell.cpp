#include "ScriptedShell.h"

#include <QFileInfo>

namespace quarrelby::test {

MessageAnswer ScriptedShell::messageBox(const MessageRequest &request)
{
    messages.append(request);
    if (request.buttons == MessageButtons::YesNo)
        return answers.isEmpty() ? MessageAnswer::Yes : answers.takeFirst();
    return MessageAnswer::Ok;
}

QString ScriptedShell::showSave(const SaveDialogSettings &settings)
{
    dialogs.append(settings);
    return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
}

bool ScriptedShell::clipboardAccepts(int attempt) const
{
    return clipboardRefusals >= 0 && attempt > clipboardRefusals;
}

bool ScriptedShell::clipboardClear()
{
    if (!clipboardAccepts(++clearAttempts))
        return false;
    clipboardText.clear();
    return true;
}

bool ScriptedShell::clipboardSetText(const QByteArray &utf8)
{
    if (!clipboardAccepts(++setTextAttempts))
        return false;
    clipboardText = QString::fromUtf8(utf8);
    clipboardSet = true;
    return true;
}

void ScriptedShell::yield()
{
    ++yields;
    if (onYield)
        onYield(yields);
}

void ScriptedShell::sleep(int milliseconds)
{
    sleeps.append(milliseconds);
}

bool ScriptedShell::startDetached(const QString &program, const QStringList &arguments)
{
    started.append(QStringList {program} + arguments);
    return startSucceeds;
}

std::optional<QDateTime> ScriptedShell::lastModified(const QString &path) const
{
    if (realFileSystem) {
        const QFileInfo info(path);
        if (path.isEmpty() || !info.exists())
            return std::nullopt;
        return info.lastModified();
    }
    if (existingPaths.contains(path))
        return QDateTime(QDate(2021, 8, 31), QTime(12, 0));
    return std::nullopt;
}

void ScriptedShell::endProgram()
{
    ++endCount;
    runEndHooks();
    throw ProgramEnded();
}

QStringList ScriptedShell::texts() const
{
    QStringList result;
    for (const MessageRequest &m : messages)
        result << m.text;
    return result;
}

} // namespace quarrelby::test
