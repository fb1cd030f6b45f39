#pragma once

#include "core/ErrorReport.h"
#include "platform/Failure.h"
#include "platform/Shell.h"

#include <QString>

#include <exception>
#include <new>
#include <utility>

namespace quarrelby {

// The numbered steps of an action. A step that can fail runs under its line
// number; a failure shows the error report with that number and the action
// goes on with its next step. Failures inside callees without steps of their
// own surface here, under the line of the call. A failure that every later
// step would meet again (no workbook to write into, a row that went away) is
// reported once and ends the action: the caller returns when the step fails.
//
//   using namespace reports::exportWorkbook;
//   Steps steps(shell, place);
//   if (!steps(newWorkbook, [&] { workbook = spreadsheets.newWorkbook(); }))
//       return;
//   if (steps.holdsOrFailed(rowTicked, [&] { return list.checked(r); })) ...
class Steps {
public:
    Steps(DialogService &shell, const char *place)
        : m_shell(shell)
        , m_place(QString::fromLatin1(place))
    {
    }

    // Runs one statement; false when it failed (and was reported).
    template <class F> bool operator()(int line, F &&statement)
    {
        try {
            std::forward<F>(statement)();
            return true;
        } catch (const Failure &error) {
            report(line, error.description());
        } catch (const std::bad_alloc &) {
            report(line, QStringLiteral("Out of memory"));
        } catch (const std::exception &error) {
            report(line, QString::fromLocal8Bit(error.what()));
        } catch (...) {
            // Nothing may escape an action into the event loop.
            report(line, QStringLiteral("Unexpected failure"));
        }
        return false;
    }

    // A numbered test: true when the condition holds, and also when testing
    // it failed, so that the then-branch runs after the report, as users of
    // the program have always seen it do.
    template <class F> bool holdsOrFailed(int line, F &&condition)
    {
        bool result = true;
        (*this)(line, [&] { result = static_cast<bool>(std::forward<F>(condition)()); });
        return result;
    }

private:
    void report(int line, const QString &description) { ErrorReport(m_shell, m_place, line, description); }

    DialogService &m_shell;
    QString m_place;
};

} // namespace quarrelby
