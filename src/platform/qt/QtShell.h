#pragma once

#include "platform/Shell.h"

#include <QElapsedTimer>
#include <QPointer>

class QWidget;

namespace quarrelby {

// The Shell of the running program, on Qt's widgets, clipboard and processes.
class QtShell : public Shell {
public:
    QtShell() { m_sinceYield.start(); }

    // Message boxes and the save dialog are modal to this window.
    void setMainWindow(QWidget *window) { m_mainWindow = window; }

    MessageAnswer messageBox(const MessageRequest &request) override;
    [[nodiscard]] QString showSave(const SaveDialogSettings &settings) override;
    [[nodiscard]] bool clipboardClear() override;
    [[nodiscard]] bool clipboardSetText(const QByteArray &utf8) override;
    void yield() override;
    void sleep(int milliseconds) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
    [[nodiscard]] QString programFolder() const override;
    [[nodiscard]] bool fileExists(const QString &path) const override;
    // Ends at once, after the end hooks and after handing the clipboard to
    // the desktop's clipboard manager when the program owns it.
    [[noreturn]] void endProgram() override;

private:
    QPointer<QWidget> m_mainWindow;
    QElapsedTimer m_sinceYield;
    unsigned m_yieldCalls = 0;
    bool m_ending = false;
};

} // namespace quarrelby
