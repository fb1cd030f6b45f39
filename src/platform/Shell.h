#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace quarrelby {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Exclamation };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    MessageAnswer defaultButton = MessageAnswer::Ok;
};

// What the actions set on the save dialog before showing it.
struct SaveDialogSettings {
    QString title;
    QStringList nameFilters; // as QFileDialog::setNameFilters takes them
};

// The platform services the actions use, one interface per service, so that
// a routine can say which one it needs. The product implements them all with
// Qt (QtShell); tests use a scripted stand-in (ScriptedShell).

// Message boxes and the save dialog.
class DialogService {
public:
    virtual ~DialogService() = default;

    // A modal message box with the text exactly as the program built it.
    virtual MessageAnswer messageBox(const MessageRequest &request) = 0;
    // The save dialog; an empty path when the user cancelled.
    [[nodiscard]] virtual QString showSave(const SaveDialogSettings &settings) = 0;

    // The caption of every message box that has none of its own.
    [[nodiscard]] const QString &applicationTitle() const { return m_applicationTitle; }
    void setApplicationTitle(const QString &title) { m_applicationTitle = title; }

    // A plain message: OK only, no icon, the application title as caption.
    void message(const QString &text);
    // A Yes/No question: no icon, Yes the default, the application title.
    [[nodiscard]] MessageAnswer question(const QString &text);

private:
    QString m_applicationTitle = QStringLiteral("Quarrelby");
};

class ClipboardService {
public:
    virtual ~ClipboardService() = default;

    // False when the clipboard refused.
    [[nodiscard]] virtual bool clipboardClear() = 0;
    // The text as UTF-8: a large list's text need not exist a second time
    // as UTF-16 while the clipboard holds it.
    [[nodiscard]] virtual bool clipboardSetText(const QByteArray &utf8) = 0;
};

class EventLoopService {
public:
    virtual ~EventLoopService() = default;

    // Lets pending window messages run (time-sliced by the implementation).
    virtual void yield() = 0;
    virtual void sleep(int milliseconds) = 0;
};

// Processes, the file system's times, the program's folder and its end.
class SystemService {
public:
    virtual ~SystemService() = default;

    // Starts a program without waiting for it; false when it could not start.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
    [[nodiscard]] virtual QString programFolder() const = 0;
    // Whether a file or folder is at the path; never throws.
    [[nodiscard]] virtual bool fileExists(const QString &path) const = 0;
    // Ends the program at once: runs the end hooks, then does not return.
    [[noreturn]] virtual void endProgram() = 0;

    // Work that must still happen when the program ends at once, such as
    // removing the temporary file of an unfinished save. Returns a handle for
    // removeEndHook.
    int addEndHook(std::function<void()> hook);
    void removeEndHook(int handle) { m_endHooks.erase(handle); }

protected:
    void runEndHooks();

private:
    std::map<int, std::function<void()>> m_endHooks;
    int m_nextEndHook = 0;
};

// All of them: what the window and the actions are given.
class Shell : public DialogService, public ClipboardService, public EventLoopService, public SystemService { };

} // namespace quarrelby
