#include "ProgramRun.h"

namespace quarrelby::test {

QString programPath()
{
    return QStringLiteral(QUARRELBY_EXECUTABLE);
}

QProcessEnvironment programEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
             "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "QUARRELBY_CONTACTS"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home);
    return env;
}

Run runProgram(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(programPath(), arguments);
    Run run;
    if (!process.waitForFinished(120000))
        return run;
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    else
        run.signal = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

Run runProgram(const QStringList &arguments, const QString &home)
{
    return runProgram(arguments, programEnvironment(home));
}

QByteArray generatedBook(int cards)
{
    QByteArray book;
    for (int i = 0; i < cards; ++i) {
        book += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        book += "FN:Ärne \"Q\" Näsström, " + QByteArray::number(i) + "\r\n";
        if (i % 97 == 0)
            book += "X-ADDRESSBOOKSERVER-KIND:group\r\n";
        book += "EMAIL:person" + QByteArray::number(i) + "@example.org\r\n";
        if (i % 3 == 0)
            book += "NOTE:line one\\nline, two\r\nBDAY:1970-01-" + QByteArray::number(i % 28 + 10) + "\r\n";
        book += "TEL;TYPE=cell:+46 70 " + QByteArray::number(i * 7919 % 100000) + "\r\nEND:VCARD\r\n";
    }
    return book;
}

QByteArray withoutTableWarning(const QByteArray &err)
{
    const qsizetype start = err.lastIndexOf("quarrelby: ", err.size() - 2);
    if (start < 0
        || (!err.endsWith("; --export vcard keeps every field\n")
            && !err.endsWith("; --export vcard4 keeps every field and list\n")))
        return err;
    return err.mid(start).contains(" not in the table; ") ? err.left(start) : err;
}

} // namespace quarrelby::test
