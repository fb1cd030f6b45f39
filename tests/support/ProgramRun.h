#pragma once

#include "ExportFixture.h" // readFile, writeFile

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The command line through the real executable, started as a cron job or an
// SSH session would start it: no display, no Wayland, no desktop bus, its
// output piped.
namespace quarrelby::test {

struct Run {
    int status = -1; // -1 when it did not end normally
    int signal = 0; // the signal that ended it
    QByteArray out;
    QByteArray err;
};

// The program's executable.
[[nodiscard]] QString programPath();

// The environment of such a run, with HOME set to home.
[[nodiscard]] QProcessEnvironment programEnvironment(const QString &home);

// Runs the program to its end.
[[nodiscard]] Run runProgram(const QStringList &arguments, const QProcessEnvironment &environment);
[[nodiscard]] Run runProgram(const QStringList &arguments, const QString &home);

// A vCard book of that many cards, with every kind of value the
// comma-delimited file quotes, and distribution lists.
[[nodiscard]] QByteArray generatedBook(int cards);

// Standard error without the one line a table export ends with when the
// table had no room for some of the books' fields; err as it is otherwise.
[[nodiscard]] QByteArray withoutTableWarning(const QByteArray &err);

} // namespace quarrelby::test
