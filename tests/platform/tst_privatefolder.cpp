// Private folders through real processes: a child of this test (the test
// executable started again with --hold) makes one, writes a file there and
// waits; the test then ends it with a real signal, or kill -9, and looks at
// what is left.
#include "platform/Failure.h"
#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <iostream>

using namespace quarrelby;

namespace {

// The child: a folder with one file written, its path on standard output,
// then a wait for whatever ends it.
int holdFolder()
{
    removeLiveFoldersOnSignals();
    try {
        PrivateFolder folder("held");
        QFile file(QFile::decodeName(folder.file("data")));
        if (!file.open(QIODevice::WriteOnly) || file.write("private") != 7)
            return 3;
        file.close();
        std::cout << folder.path().constData() << std::endl;
        for (;;)
            ::pause();
    } catch (const Failure &error) {
        std::cerr << error.what() << std::endl;
        return 2;
    }
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestPrivateFolder : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_temp;

    // A child holding a folder, started through sh with the given prelude
    // (a trap, say); the folder's path, empty when it failed.
    QString startHolder(QProcess &child, const QString &prelude = {})
    {
        child.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), prelude + QStringLiteral(" exec \"$0\" --hold"),
                QCoreApplication::applicationFilePath()});
        if (!child.waitForReadyRead(20000))
            return {};
        return QString::fromLocal8Bit(child.readLine().trimmed());
    }

private slots:
    void init()
    {
        QVERIFY(m_root.isValid());
        QString name = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('-')
            + QString::fromLatin1(QTest::currentDataTag());
        m_temp = m_root.filePath(name.replace(QLatin1Char(' '), QLatin1Char('-')));
        QVERIFY(QDir().mkpath(m_temp));
        qputenv("TMPDIR", QFile::encodeName(m_temp));
    }

    // Owner-only, marked, and gone with what the program wrote; a file
    // nobody listed keeps the folder (and the marker that says so).
    void removesWhatItWrote()
    {
        QString path;
        {
            PrivateFolder folder("test");
            path = QFile::decodeName(folder.path());
            QVERIFY(path.startsWith(m_temp + QLatin1String("/quarrelby-test-")));
            struct stat info { };
            QCOMPARE(::stat(folder.path().constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, 0700u);
            QCOMPARE(::stat((folder.path() + "/.quarrelby-folder").constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, 0600u);
            writeFile(QFile::decodeName(folder.file("book")), "copy");
            (void)folder.file("book-wal"); // named, never made
            QVERIFY_THROWS_EXCEPTION(Failure, (void)folder.file("../escape"));
        }
        QVERIFY(!QFileInfo::exists(path));

        {
            PrivateFolder folder("test");
            path = QFile::decodeName(folder.path());
            writeFile(QFile::decodeName(folder.file("book")), "copy");
            writeFile(path + QStringLiteral("/users.txt"), "mine");
        }
        QCOMPARE(entries(path), (QStringList {QStringLiteral(".quarrelby-folder"), QStringLiteral("users.txt")}));
    }

    // TMPDIR naming something that is no folder is said so, naming it; the
    // folder is never made elsewhere.
    void temporaryFolderNamed_data()
    {
        QTest::addColumn<QString>("tmpdir");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("/missing/folder") << QStringLiteral("does not exist");
        QTest::newRow("a file") << QStringLiteral("@file") << QStringLiteral("is not a folder");
    }

    void temporaryFolderNamed()
    {
        QFETCH(QString, tmpdir);
        QFETCH(QString, reason);
        tmpdir.replace(QLatin1String("@file"), m_temp + QStringLiteral("/file"));
        writeFile(m_temp + QStringLiteral("/file"), "x");
        qputenv("TMPDIR", QFile::encodeName(tmpdir));
        try {
            PrivateFolder folder("test");
            QFAIL(folder.path().constData());
        } catch (const Failure &error) {
            QCOMPARE(
                error.description(), QStringLiteral("the temporary folder \"%1\" (TMPDIR) %2").arg(tmpdir, reason));
        }
        QCOMPARE(entries(m_temp), QStringList {QStringLiteral("file")});
    }

    // A real signal removes the folder and still ends the program by it; a
    // signal the program was started with ignored stays ignored.
    void signalRemovesTheFolder_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("ignored");
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGHUP, ignored as nohup does") << int(SIGHUP) << true;
    }

    void signalRemovesTheFolder()
    {
        QFETCH(int, signal);
        QFETCH(bool, ignored);
        QProcess child;
        const QString path = startHolder(child, ignored ? QStringLiteral("trap '' %1;").arg(signal) : QString());
        QVERIFY2(!path.isEmpty(), child.readAllStandardError().constData());
        QVERIFY(QFileInfo::exists(path + QStringLiteral("/data")));
        ::kill(static_cast<pid_t>(child.processId()), signal);
        if (ignored) {
            QVERIFY(!child.waitForFinished(300));
            QVERIFY(QFileInfo::exists(path + QStringLiteral("/data")));
            child.kill();
            QVERIFY(child.waitForFinished());
            sweepPrivateFolders();
        } else {
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        }
        QCOMPARE(entries(m_temp), QStringList());
    }

    // After kill -9 the next sweep removes the folder, and only what the
    // program wrote there: a folder of a process still running stays, and so
    // do folders that are not marked as the program's (a user's own named
    // alike), a marker that is a link, a listed name that is a link, a file
    // of the user's, and a folder handed over.
    void sweepAfterKill()
    {
        QProcess running;
        const QString live = startHolder(running);
        QVERIFY(!live.isEmpty());
        QProcess killed;
        const QString dead = startHolder(killed);
        QVERIFY(!dead.isEmpty());
        ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished());
        QProcess withUsersFile;
        const QString kept = startHolder(withUsersFile);
        writeFile(kept + QStringLiteral("/mine.txt"), "mine");
        withUsersFile.kill();
        QVERIFY(withUsersFile.waitForFinished());

        const QString unmarked = m_temp + QStringLiteral("/quarrelby-ab12cd");
        QVERIFY(QDir().mkpath(unmarked));
        writeFile(unmarked + QStringLiteral("/Book1.xlsx"), "the user's");
        writeFile(m_temp + QStringLiteral("/elsewhere"), "file data\n");
        QProcess linked;
        const QString links = startHolder(linked);
        QVERIFY(QFile::remove(links + QStringLiteral("/data")));
        QVERIFY(QFile::link(m_temp + QStringLiteral("/elsewhere"), links + QStringLiteral("/data")));
        linked.kill();
        QVERIFY(linked.waitForFinished());
        const QString fakeMarker = m_temp + QStringLiteral("/quarrelby-fake-123456");
        QVERIFY(QDir().mkpath(fakeMarker));
        QVERIFY(QFile::link(
            kept + QStringLiteral("/.quarrelby-folder"), fakeMarker + QStringLiteral("/.quarrelby-folder")));
        // Killed in the making, before its marker was whole: removed once it
        // is old enough not to be in the making.
        const QString staged = m_temp + QStringLiteral("/.quarrelby-held-Ab3dE6");
        const QString making = m_temp + QStringLiteral("/.quarrelby-held-Gh9jK2");
        for (const QString &folder : {staged, making}) {
            QVERIFY(QDir().mkpath(folder));
            writeFile(folder + QStringLiteral("/.quarrelby-folder"), {});
        }
        const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(staged).constData(), hourAgo, 0) == 0);
        QString handedOver;
        {
            PrivateFolder folder("test");
            handedOver = QFile::decodeName(folder.path());
            writeFile(QFile::decodeName(folder.file("Book1.xlsx")), "shown");
            folder.handOver();
        }

        sweepPrivateFolders();
        running.kill();
        QVERIFY(running.waitForFinished());

        QVERIFY(!QFileInfo::exists(dead));
        QCOMPARE(entries(live), (QStringList {QStringLiteral(".quarrelby-folder"), QStringLiteral("data")}));
        QCOMPARE(entries(kept), (QStringList {QStringLiteral(".quarrelby-folder"), QStringLiteral("mine.txt")}));
        QCOMPARE(entries(unmarked), QStringList {QStringLiteral("Book1.xlsx")});
        QCOMPARE(entries(links), (QStringList {QStringLiteral(".quarrelby-folder"), QStringLiteral("data")}));
        QCOMPARE(QFile(m_temp + QStringLiteral("/elsewhere")).size(), 10);
        QCOMPARE(entries(fakeMarker), QStringList {QStringLiteral(".quarrelby-folder")});
        QCOMPARE(
            entries(handedOver), (QStringList {QStringLiteral(".quarrelby-folder"), QStringLiteral("Book1.xlsx")}));
        QVERIFY(!QFileInfo::exists(staged));
        QCOMPARE(entries(making), QStringList {QStringLiteral(".quarrelby-folder")});
    }
};

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--hold") == 0)
        return holdFolder();
    QCoreApplication app(argc, argv);
    TestPrivateFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_privatefolder.moc"
