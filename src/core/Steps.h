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
// own surface here, under the line of the call.
//
//   Steps steps(shell, reportName(Action::ExportWorkbook));
//   steps(exportWorkbook::newWorkbook, [&] { workbook = spreadsheets.newWorkbook(); });
//   if (steps.test(exportWorkbook::rowTicked, [&] { return list.checked(r); })) ...
class Steps {
public:
    Steps(DialogService &shell, QString location)
        : m_shell(shell)
        , m_location(std::move(location))
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

    // A numbered test. A failing test takes the then-branch: it answers true.
    template <class F> bool test(int line, F &&condition)
    {
        bool result = true;
        (*this)(line, [&] { result = static_cast<bool>(std::forward<F>(condition)()); });
        return result;
    }

private:
    void report(int line, const QString &description) { ErrorReport(m_shell, m_location, line, description); }

    DialogService &m_shell;
    QString m_location;
};

} // namespace quarrelby
