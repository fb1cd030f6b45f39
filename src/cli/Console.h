#pragma once

#include "platform/Shell.h"
#include "platform/TextFileWriter.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quarrelby {

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // a book or the output failed, or there is no book
inline constexpr int kExitUsage = 2;

// A message on standard error: "quarrelby: " and the text, its line breaks
// (CR LF as the window's reports have them) made plain line feeds.
void tell(const QString &text);

// The text as one line: each line break a space.
[[nodiscard]] QString oneLine(const QString &text);

// Ctrl-C, a hang-up or a termination while the table is being written: from
// now on the signal only marks the program as interrupted; the work stops at
// its next contact or cell, removing what it had begun, and
// endIfInterrupted() then ends the program by the signal as it would have.
void catchInterruptions();
// Throws Failure when a signal came.
void stopIfInterrupted();
void endIfInterrupted();

// The system as a command line sees it: no event loop to yield to, nothing
// started, no window. The end hooks run when it ends the program.
class ConsoleSystem : public SystemService, public EventLoopService {
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
    [[nodiscard]] QString programFolder() const override;
    [[nodiscard]] bool fileExists(const QString &path) const override;
    [[noreturn]] void endProgram() override;
    // Every cell of the aligned text passes here.
    void yield() override { stopIfInterrupted(); }
    void sleep(int milliseconds) override;
};

// Where a text output goes: a file written as the window writes it (a new
// file beside the target put in its place by the commit), or standard output
// when the path is empty. Throws Failure, naming the file, when it cannot
// be written.
class TextOutput {
public:
    TextOutput(SystemService &system, const QString &path);
    ~TextOutput();
    TextOutput(const TextOutput &) = delete;
    TextOutput &operator=(const TextOutput &) = delete;

    void write(QByteArrayView bytes);
    void commit();

private:
    std::unique_ptr<TextFileWriter> m_writer;
    std::unique_ptr<TextFile> m_file;
};

} // namespace quarrelby
