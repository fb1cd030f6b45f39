// Where the command line writes, through the real executable (ProgramRun.h):
// never over a book it reads, into devices as the shell's ">" would, and a
// file either whole and new or as it was, whatever signal comes when. The
// signals are real: the test stops the program (SIGSTOP) once it has begun
// its output, sends the signal, and lets it go on.
#include "ProgramRun.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>
#include <thread>

using namespace quarrelby::test;

namespace {

const QString kSamples = QStringLiteral(QUARRELBY_SOURCE_DIR "/samples/contacts");

// Every file under folder with its bytes and inode, links as their target.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(
        folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        files[entry.filePath()] = entry.isSymLink()
            ? entry.symLinkTarget().toUtf8()
            : QByteArray::number(entry.fileTime(QFile::FileModificationTime).toMSecsSinceEpoch()) + ':'
                + QByteArray::number(qulonglong(entry.size())) + ':' + readFile(entry.filePath());
    }
    return files;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The state letter of /proc/<pid>/stat: T stopped, Z ended.
char processState(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype end = stat.lastIndexOf(')');
    return end > 0 && end + 2 < stat.size() ? stat[end + 2] : '?';
}

// Whether the process has a file open in folder, as a new file being written
// there shows ("folder/#123 (deleted)" when it has no name yet).
bool writesInto(qint64 pid, const QString &folder)
{
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    const QByteArray fds = "/proc/" + QByteArray::number(pid) + "/fd/";
    for (const QString &fd :
        QDir(QFile::decodeName(fds)).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t size = ::readlink((fds + QFile::encodeName(fd)).constData(), target, sizeof target);
        if (size > 0 && QByteArray(target, size).startsWith(prefix))
            return true;
    }
    return false;
}

// Stops the process; false when it ended first.
bool stop(qint64 pid)
{
    ::kill(static_cast<pid_t>(pid), SIGSTOP);
    char state = '?';
    for (int wait = 0; wait < 2000 && (state = processState(pid)) != 'T' && state != 'Z'; ++wait)
        QTest::qSleep(1);
    return state == 'T';
}

} // namespace

class TestOutput : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_home; // no book
    QString m_large; // a book that takes a while
    QString m_out; // the output folder, empty at each test
    QString m_temp; // TMPDIR of the program

    [[nodiscard]] QStringList expanded(const QString &arguments) const
    {
        QStringList result;
        for (QString argument : arguments.split(QLatin1Char(' '))) {
            argument.replace(QLatin1String("@samples"), kSamples);
            argument.replace(QLatin1String("@large"), m_large);
            argument.replace(QLatin1String("@"), m_dir.path() + QLatin1Char('/'));
            result << argument;
        }
        return result;
    }

    [[nodiscard]] QProcessEnvironment environment(const QString &home = {}) const
    {
        QProcessEnvironment env = programEnvironment(home.isEmpty() ? m_home : home);
        env.insert(QStringLiteral("TMPDIR"), m_temp);
        return env;
    }

    // Starts the export of the large book into path through sh with the
    // given prelude, and stops it once it writes its output.
    bool startStopped(QProcess &process, const QString &format, const QString &path, const QString &prelude = {})
    {
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("/bin/sh"),
            QStringList {
                QStringLiteral("-c"), prelude + QStringLiteral(" exec \"$@\""), QStringLiteral("sh"), programPath()}
                + expanded(QStringLiteral("--export %1 -b @large -o %2").arg(format, path)));
        if (!process.waitForStarted())
            return false;
        while (!writesInto(process.processId(), m_out)) {
            if (process.waitForFinished(1))
                return false;
        }
        QTest::qSleep(20); // into the book
        return stop(process.processId());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_home = m_dir.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(m_home));
        m_large = m_dir.filePath(QStringLiteral("large.vcf"));
        writeFile(m_large, generatedBook(60000));
        for (const char *folder : {"cards", "cardhome/.local/share/contacts"}) {
            const QString to = m_dir.filePath(QString::fromLatin1(folder)) + QLatin1Char('/');
            QVERIFY(QDir().mkpath(to));
            for (const QString &card : QDir(kSamples).entryList(QDir::Files))
                QVERIFY(QFile::copy(kSamples + QLatin1Char('/') + card, to + card));
        }
        sqlite3 *db = nullptr;
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("tb"))));
        QCOMPARE(sqlite3_open(QFile::encodeName(m_dir.filePath(QStringLiteral("tb/abook.sqlite"))).constData(), &db),
            SQLITE_OK);
        const QByteArray sql = readFile(QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data/thunderbird/abook.sql"));
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    void init()
    {
        m_out = m_dir.filePath(QStringLiteral("out"));
        QDir(m_out).removeRecursively();
        QVERIFY(QDir().mkpath(m_out));
        m_temp = m_dir.filePath(QStringLiteral("tmp"));
        QDir(m_temp).removeRecursively();
        QVERIFY(QDir().mkpath(m_temp));
    }

    // The output is never a file of a book read, nor one a book would read
    // if it were made: refused before anything is read or written, whether
    // the book is named or found, and whatever name leads to the file.
    void neverOverABook_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("home");
        const QString card = QStringLiteral("@cards/02-jose-garcia.vcf");
        QTest::newRow("a card of a folder book") << "--export csv -b @cards -o " + card << QString();
        QTest::newRow("a card of the books found")
            << "--export csv -o @cardhome/.local/share/contacts/02-jose-garcia.vcf"
            << "cardhome";
        QTest::newRow("a link to a card") << "--export text -b @cards -o @out/link.csv" << QString();
        QTest::newRow("another name of a card") << "--export xlsx -b @cards -o @out/hard.csv" << QString();
        QTest::newRow("a new card of a folder book") << "--export csv -b @cards -o @cards/new.vcf" << QString();
        QTest::newRow("the log of an SQLite book")
            << "--export csv -b @tb/abook.sqlite -o @tb/abook.sqlite-wal" << QString();
    }

    void neverOverABook()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, home);
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("cards/02-jose-garcia.vcf")), m_out + "/link.csv"));
        QVERIFY(::link(QFile::encodeName(m_dir.filePath(QStringLiteral("cards/02-jose-garcia.vcf"))).constData(),
                    QFile::encodeName(m_out + "/hard.csv").constData())
            == 0);
        const auto books = [&] {
            QMap<QString, QByteArray> files;
            for (const char *folder : {"cards", "cardhome", "tb"})
                files.insert(snapshot(m_dir.filePath(QString::fromLatin1(folder))));
            return files;
        };
        const auto before = books();
        const Run run = runProgram(expanded(arguments), environment(home.isEmpty() ? m_home : m_dir.filePath(home)));
        QCOMPARE(run.status, 1);
        QVERIFY2(
            run.err.contains("address book") && !run.err.contains('\n' + QByteArray("quarrelby")), run.err.constData());
        QCOMPARE(books(), before);
        QVERIFY(::unlink(QFile::encodeName(m_out + "/hard.csv").constData()) == 0);
    }

    // A device, a pipe or the program's own standard output named by -o is
    // written into, never replaced, in every format.
    void devicesAreWrittenInto_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("target");
        for (const char *format : {"text", "csv", "xlsx"}) {
            for (const char *target : {"/dev/stdout", "/proc/self/fd/1", "a named pipe", "a character device"})
                QTest::addRow("%s, %s", format, target) << format << target;
        }
    }

    void devicesAreWrittenInto()
    {
        QFETCH(QString, format);
        QFETCH(QString, target);
        QString path = target;
        QByteArray piped;
        std::thread reader;
        if (target == QLatin1String("a character device")) {
            if (::geteuid() != 0)
                QSKIP("only root makes a device node: a copy of /dev/null is made in a private folder");
            path = m_out + QStringLiteral("/null");
            QVERIFY(::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, ::makedev(1, 3)) == 0);
        } else if (target == QLatin1String("a named pipe")) {
            path = m_out + QStringLiteral("/pipe");
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            reader = std::thread([&] { piped = readFile(path); });
        }
        const Run run
            = runProgram(expanded(QStringLiteral("--export %1 -b @samples -o %2").arg(format, path)), environment());
        if (reader.joinable())
            reader.join();
        QCOMPARE(withoutTableWarning(run.err), QByteArray());
        QCOMPARE(run.status, 0);
        const QByteArray written = target.startsWith(QLatin1Char('/')) ? run.out : piped;
        if (target.endsWith(QLatin1String("device"))) {
            // What went into the copy of /dev/null is gone.
        } else if (format == QLatin1String("xlsx")) {
            QVERIFY(written.startsWith("PK\x03\x04") && written.size() > 4000);
        } else {
            const Run plain
                = runProgram(expanded(QStringLiteral("--export %1 -b @samples").arg(format)), environment());
            QCOMPARE(written, plain.out);
        }
        if (!target.startsWith(QLatin1Char('/'))) {
            struct stat info { };
            QVERIFY(::lstat(QFile::encodeName(path).constData(), &info) == 0);
            QVERIFY(target.endsWith(QLatin1String("pipe")) ? S_ISFIFO(info.st_mode) : S_ISCHR(info.st_mode));
            QCOMPARE(entries(m_out), QStringList {QFileInfo(path).fileName()});
        }
        QCOMPARE(entries(m_temp), QStringList());
    }

    // What -o may not name: refused before any book is read (a missing
    // book would be told), saying what it is.
    void outputRefused_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("err");
        QTest::newRow("a folder, xlsx") << "--export xlsx -b @samples -b @missing.vcf -o @out"
                                        << "quarrelby: %1/out is a folder: --output needs the name of a file\n";
        QTest::newRow("a folder, with a slash")
            << "--export csv -b @samples -b @missing.vcf -o @out/"
            << "quarrelby: %1/out/ is a folder: --output needs the name of a file\n";
        QTest::newRow("a missing folder") << "--export text -b @samples -b @missing.vcf -o @no/x.txt"
                                          << "quarrelby: Cannot create %1/no/x.txt: No such file or directory\n";
        QTest::newRow("xlsx, TMPDIR naming no folder")
            << "--export xlsx -b @samples -b @missing.vcf -o @out/x.xlsx"
            << "quarrelby: No temporary folder could be made for the workbook: the temporary folder "
               "\"/missing/folder\" (TMPDIR) does not exist\n";
        QTest::newRow("a block device")
            << "--export csv -b @samples -b @missing.vcf -o @out/disk"
            << "quarrelby: %1/out/disk is a disk (a block device): nothing is written to it\n";
    }

    void outputRefused()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, err);
        if (arguments.endsWith(QLatin1String("disk"))
            && ::mknod(QFile::encodeName(m_out + "/disk").constData(), S_IFBLK | 0600, ::makedev(7, 200)) != 0)
            QSKIP("only root makes a device node");
        QProcessEnvironment env = environment();
        if (QByteArray(QTest::currentDataTag()).contains("TMPDIR"))
            env.insert(QStringLiteral("TMPDIR"), QStringLiteral("/missing/folder"));
        const Run run = runProgram(expanded(arguments), env);
        QCOMPARE(QString::fromUtf8(run.err), err.arg(m_dir.path()));
        QVERIFY(!entries(m_out).contains(QStringLiteral("x.xlsx")));
        QCOMPARE(run.status, 1);
    }

    // A folder that takes no new file, holding a file that may be written:
    // the window writes such a file in place, the command line refuses it.
    void folderWithoutRoomIsRefused()
    {
        const QString folder = m_out + QStringLiteral("/full");
        const QString file = folder + QStringLiteral("/contacts.csv");
        writeFile(file, "the old file");
        if (::geteuid() == 0) {
            // Root may make files anywhere: a read-only file system, with
            // the file mounted writable over its own name.
            const QString spare = m_out + QStringLiteral("/spare.csv");
            writeFile(spare, "the old file");
            if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                QSKIP("no mount namespace of its own");
            const QByteArray f = QFile::encodeName(folder);
            QVERIFY(::mount(f.constData(), f.constData(), nullptr, MS_BIND, nullptr) == 0);
            QVERIFY(::mount(nullptr, f.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0);
            QVERIFY(::mount(QFile::encodeName(spare).constData(), QFile::encodeName(file).constData(), nullptr, MS_BIND,
                        nullptr)
                == 0);
        } else {
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const Run run = runProgram(expanded(QStringLiteral("--export csv -b @samples -o %1").arg(file)), environment());
        if (::geteuid() == 0) {
            (void)::umount2(QFile::encodeName(file).constData(), MNT_DETACH);
            (void)::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        } else {
            QVERIFY(QFile::setPermissions(
                folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        }
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("its folder does not allow a new file"), run.err.constData());
        QCOMPARE(readFile(file), QByteArray("the old file"));
    }

    // A signal while the table is written leaves the old file as it was,
    // nothing beside it, no private folder; the program ends by the signal.
    // kill -9 leaves a private folder, which the next start removes. A
    // signal the program was started with ignored stays ignored.
    void signalMidExport_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("prelude");
        for (const char *format : {"csv", "xlsx"}) {
            QTest::addRow("%s, SIGTERM", format) << format << int(SIGTERM) << QString();
            QTest::addRow("%s, SIGINT", format) << format << int(SIGINT) << QString();
            QTest::addRow("%s, SIGHUP", format) << format << int(SIGHUP) << QString();
            QTest::addRow("%s, kill -9", format) << format << int(SIGKILL) << QString();
        }
        QTest::newRow("xlsx, SIGHUP under nohup") << "xlsx" << int(SIGHUP) << "trap '' HUP;";
        QTest::newRow("csv, SIGINT to a background job") << "csv" << int(SIGINT) << "trap '' INT;";
    }

    void signalMidExport()
    {
        QFETCH(QString, format);
        QFETCH(int, signal);
        QFETCH(QString, prelude);
        const QString path = m_out + QStringLiteral("/contacts.") + format;
        writeFile(path, "the old file");
        QProcess process;
        QVERIFY2(startStopped(process, format, path, prelude), "the export ended before it could be stopped");
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(entries(m_out), QStringList {QFileInfo(path).fileName()});
        if (!prelude.isEmpty()) {
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);
            QVERIFY(QFileInfo(path).size() > 1000000);
            return;
        }
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), signal);
        QCOMPARE(process.readAllStandardError(), QByteArray());
        QCOMPARE(readFile(path), QByteArray("the old file"));
        if (signal == SIGKILL) {
            const Run next = runProgram(expanded(QStringLiteral("--books -b @samples")), environment());
            QCOMPARE(next.status, 0);
        }
        QCOMPARE(entries(m_temp), QStringList());
    }

    // A signal that comes once the new file is in place changes nothing:
    // the file is the new table, and the status 0.
    void lateSignalKeepsTheNewFile()
    {
        const QString path = m_out + QStringLiteral("/contacts.csv");
        const QByteArray expected = runProgram(expanded(QStringLiteral("--export csv -b @large")), environment()).out;
        for (int attempt = 0; attempt < 20; ++attempt) {
            writeFile(path, "the old file");
            QProcess process;
            process.setProcessEnvironment(environment());
            process.start(programPath(), expanded(QStringLiteral("--export csv -b @large -o ") + path));
            QVERIFY(process.waitForStarted());
            struct stat info { };
            const QByteArray name = QFile::encodeName(path);
            ::stat(name.constData(), &info);
            const ino_t before = info.st_ino;
            while (::stat(name.constData(), &info) == 0 && info.st_ino == before
                && processState(process.processId()) != 'Z')
                ;
            const bool landed = stop(process.processId());
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
            QVERIFY(process.waitForFinished(120000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);
            QVERIFY(readFile(path) == expected);
            if (landed)
                return;
        }
        QSKIP("the program ended each time before the signal came");
    }

    // A reader of standard output that goes away ends the program by
    // SIGPIPE, quietly, as it ends other tools; one started with SIGPIPE
    // ignored says so and ends with 1. No private folder is left either way.
    void brokenPipe_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("prelude");
        QTest::newRow("csv") << "--export csv -b @large" << QString();
        QTest::newRow("xlsx into /dev/stdout") << "--export xlsx -b @large -o /dev/stdout" << QString();
        QTest::newRow("csv, SIGPIPE ignored") << "--export csv -b @large"
                                              << "trap '' PIPE;";
    }

    void brokenPipe()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, prelude);
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("/bin/bash"),
            QStringList {QStringLiteral("-c"),
                prelude + QStringLiteral(" \"$@\" | head -c 100 >/dev/null; exit ${PIPESTATUS[0]}"),
                QStringLiteral("bash"), programPath()}
                + expanded(arguments));
        QVERIFY(process.waitForFinished(120000));
        if (prelude.isEmpty()) {
            QCOMPARE(process.exitCode(), 128 + SIGPIPE);
            QCOMPARE(process.readAllStandardError(), QByteArray());
        } else {
            QCOMPARE(process.exitCode(), 1);
            QVERIFY(process.readAllStandardError().contains("Broken pipe"));
        }
        QCOMPARE(entries(m_temp), QStringList());
    }

    // A Thunderbird book its program holds open (a log beside it that is
    // not empty) is read from a private copy. However the program is
    // stopped, the copy goes with it; after kill -9, at the next start.
    void privateCopyGoesWithTheProcess_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("signal");
        QTest::newRow("export, SIGTERM") << "--export csv -o @out/contacts.csv" << int(SIGTERM);
        QTest::newRow("books, SIGINT") << "--books" << int(SIGINT);
        QTest::newRow("books, SIGHUP") << "--books" << int(SIGHUP);
        QTest::newRow("export, kill -9") << "--export xlsx -o @out/contacts.xlsx" << int(SIGKILL);
        QTest::newRow("export into a pipe that closes") << "--export csv" << int(SIGPIPE);
    }

    void privateCopyGoesWithTheProcess()
    {
        QFETCH(QString, arguments);
        QFETCH(int, signal);
        const QString home = m_dir.filePath(QStringLiteral("held"));
        const QString book = home + QStringLiteral("/.thunderbird/p/abook.sqlite");
        writeFile(home + QStringLiteral("/.thunderbird/profiles.ini"), "[Profile0]\nIsRelative=1\nPath=p\nDefault=1\n");
        QByteArray sql = readFile(QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data/thunderbird/abook.sql"));
        sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) INSERT INTO properties "
               "SELECT 'card' || i, p.name, p.value || i FROM n, (SELECT 'DisplayName' AS name, 'Person ' AS value "
               "UNION ALL SELECT 'PrimaryEmail', 'person@example.org ') AS p;";
        if (!QFileInfo::exists(book)) {
            QVERIFY(QDir().mkpath(QFileInfo(book).absolutePath()));
        }
        QFile::remove(book);
        QFile::remove(book + QStringLiteral("-wal"));
        // Thunderbird's way: an exclusive lock, the log's index in memory.
        QProcess holder;
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data/thunderbird/hold_book.py"), book,
                QStringLiteral("unix-excl"), QString::fromUtf8(sql)});
        QVERIFY(holder.waitForReadyRead(60000) && holder.readLine().startsWith("ready"));
        QVERIFY(QFileInfo(book + QStringLiteral("-wal")).size() > 0);

        QProcess process;
        process.setProcessEnvironment(environment(home));
        if (signal == SIGPIPE) {
            process.start(QStringLiteral("/bin/bash"),
                QStringList {QStringLiteral("-c"),
                    QStringLiteral("\"$@\" | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}"), QStringLiteral("bash"),
                    programPath()}
                    + expanded(arguments));
        } else {
            process.start(programPath(), expanded(arguments));
            // Stopped while it reads the copy.
            const auto copying = [&] {
                const QStringList made = QDir(m_temp).entryList({QStringLiteral("quarrelby-book-*")}, QDir::Dirs);
                return !made.isEmpty() && QFileInfo::exists(m_temp + '/' + made.first() + QStringLiteral("/book"));
            };
            while (!copying() && !process.waitForFinished(1))
                ;
            QVERIFY2(copying() && stop(process.processId()), "the read ended before it could be stopped");
            QVERIFY(!entries(m_temp).isEmpty());
            ::kill(static_cast<pid_t>(process.processId()), signal);
            ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
        }
        QVERIFY(process.waitForFinished(120000));
        holder.kill();
        holder.waitForFinished();
        if (signal == SIGPIPE) {
            QCOMPARE(process.exitCode(), 128 + SIGPIPE);
        } else {
            QCOMPARE(process.exitStatus(), QProcess::CrashExit);
            QCOMPARE(process.exitCode(), signal);
        }
        if (signal == SIGKILL) {
            QVERIFY(!entries(m_temp).isEmpty());
            QCOMPARE(runProgram(expanded(QStringLiteral("--books -b @samples")), environment()).status, 0);
        }
        QCOMPARE(entries(m_temp), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestOutput)
#include "tst_output.moc"
