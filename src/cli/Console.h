#pragma once

#include "platform/Failure.h"
#include "platform/Shell.h"

#include <QString>

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

// Signals. From catchInterruptions() on, SIGINT, SIGTERM, SIGHUP and
// SIGPIPE (a reader of standard output that went away) do not end the
// program at once: the work stops at its next contact, cell or block,
// removing what it had begun (the output's new file, the private copies of
// books), and endIfInterrupted() then ends the program by the signal (status
// 128 + its number), the output not made. A second signal while the work
// stops removes the private folders and ends the program at once. A signal
// the program was started with ignored (nohup, a background job of a
// script) stays ignored.
//
// outputCommitting() comes just before the output is put in place: from then
// on a signal only marks the program. Once outputInPlace() is called the
// output is complete, and the exit status is the export's own (0 when all
// went well) whatever signal came; until then endIfInterrupted() ends the
// program by it.
void catchInterruptions();
// Throws Interrupted when a signal came.
void stopIfInterrupted();
[[nodiscard]] bool interrupted();
void outputCommitting();
void outputInPlace();
void endIfInterrupted();

class Interrupted : public Failure {
public:
    Interrupted()
        : Failure(QStringLiteral("Interrupted."))
    {
    }
};

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

} // namespace quarrelby
