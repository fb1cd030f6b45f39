#pragma once

#include "platform/Shell.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

namespace quarrelby::test {

// Thrown by ScriptedShell::endProgram so that a test sees the end without the
// test runner ending.
struct ProgramEnded : std::runtime_error {
    ProgramEnded()
        : std::runtime_error("program ended")
    {
    }
};

// A Shell that records what the user would see and answers from a script.
class ScriptedShell : public Shell {
public:
    // Every message box shown, in order.
    QList<MessageRequest> messages;
    // Answers for Yes/No questions, taken in order; Yes when empty.
    QList<MessageAnswer> answers;
    // Paths the save dialog returns, in order; empty (cancel) when exhausted.
    QStringList saveNames;
    QList<SaveDialogSettings> dialogs;

    // The clipboard refuses this many attempts (Clear and SetText counted
    // separately), then accepts; -1 refuses for ever.
    int clipboardRefusals = 0;
    int clearAttempts = 0;
    int setTextAttempts = 0;
    bool clipboardSet = false;
    QString clipboardText = QStringLiteral("previous content");

    // Runs at every yield: a test can change the list in the middle of an
    // export, as a nested click would.
    std::function<void(int yieldNumber)> onYield;
    int yields = 0;
    QList<int> sleeps;
    QList<QStringList> started; // program, then its arguments
    bool startSucceeds = true;
    QString folder = QStringLiteral("/nonexistent");
    // fileExists answers for these paths only.
    QStringList existingPaths;
    // When set, fileExists asks the file system.
    bool realFileSystem = false;
    int endCount = 0;

    MessageAnswer messageBox(const MessageRequest &request) override;
    [[nodiscard]] QString showSave(const SaveDialogSettings &settings) override;
    [[nodiscard]] bool clipboardClear() override;
    [[nodiscard]] bool clipboardSetText(const QByteArray &utf8) override;
    void yield() override;
    void sleep(int milliseconds) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
    [[nodiscard]] QString programFolder() const override { return folder; }
    [[nodiscard]] bool fileExists(const QString &path) const override;
    [[noreturn]] void endProgram() override;

    // The texts of the messages shown, in order.
    [[nodiscard]] QStringList texts() const;

private:
    bool clipboardAccepts(int attempt) const;
};

} // namespace quarrelby::test
