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

bool ScriptedShell::fileExists(const QString &path) const
{
    if (realFileSystem)
        return !path.isEmpty() && QFileInfo::exists(path);
    return existingPaths.contains(path);
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
