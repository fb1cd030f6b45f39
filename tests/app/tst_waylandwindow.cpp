// The real window as a Wayland client of a headless weston, which leaves the
// title bar to the program, as GNOME's compositor does: the window shows whole
// with its own title bar (minimise and close, nothing to maximise), nothing of
// the desktop shows through its panels or its list, an extraction of the
// sample book ends in "Done.", and minimising works. Skipped when weston or
// Qt's Wayland plugin is missing.

#include "RecordingWorkbook.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/ResultList.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/QtShell.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <cstring>
#include <memory>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quarrelby;

namespace {

// The desktop's colour: any pixel of it inside the window is see-through.
constexpr QRgb kDesktop = 0xffff00ff;

// Whether a compositor listens on the socket: the file appears before weston
// accepts connections, and a client that comes too early is refused.
bool accepts(const QString &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (static_cast<size_t>(name.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool listening = ::connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    ::close(probe);
    return listening;
}

// A headless weston of our own, in a runtime folder of our own, started
// before the application so that Qt connects to it.
class Weston {
public:
    Weston()
    {
        const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
        if (weston.isEmpty()) {
            m_why = QStringLiteral("weston is not installed");
            return;
        }
        if (!m_runtime.isValid()) {
            m_why = QStringLiteral("no temporary folder");
            return;
        }
        QFile::setPermissions(
            m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile config(m_runtime.filePath(QStringLiteral("weston.ini")));
        if (!config.open(QIODevice::WriteOnly)) {
            m_why = QStringLiteral("weston.ini could not be written");
            return;
        }
        // A plain desktop of one colour, and windows that appear at once.
        config.write("[core]\nidle-time=0\n"
                     "[shell]\nbackground-color=0xffff00ff\npanel-position=none\nlocking=false\n"
                     "startup-animation=none\nanimation=none\nclose-animation=none\n");
        config.close();
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
        m_weston.setProcessChannelMode(QProcess::MergedChannels);
        m_weston.setStandardOutputFile(m_runtime.filePath(QStringLiteral("weston.log")));
        // A test that crashes takes its compositor with it.
        m_weston.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // --debug lets weston-screenshooter take the screen.
        m_weston.start(weston,
            {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                QStringLiteral("--socket=quarrelby-test"), QStringLiteral("--width=1024"),
                QStringLiteral("--height=900"), QStringLiteral("--debug"),
                QStringLiteral("--config=") + config.fileName()});
        const QString socket = m_runtime.filePath(QStringLiteral("quarrelby-test"));
        QElapsedTimer waited;
        waited.start();
        // Until it listens, gives up or takes too long.
        while (!accepts(socket) && waited.elapsed() < 5000 && !m_weston.waitForFinished(20)) { }
        if (!accepts(socket)) {
            m_why = QStringLiteral("weston did not start");
            return;
        }
        qputenv("WAYLAND_DISPLAY", "quarrelby-test");
        // Without Qt's Wayland plugin, offscreen: the test then skips.
        qputenv("QT_QPA_PLATFORM", "wayland;offscreen");
        // Title bars are left to the clients, as under GNOME.
        qunsetenv("QT_WAYLAND_DISABLE_WINDOWDECORATION");
    }

    ~Weston()
    {
        m_weston.terminate();
        if (!m_weston.waitForFinished(2000))
            m_weston.kill();
        m_weston.waitForFinished(1000);
    }

    Weston(const Weston &) = delete;
    Weston &operator=(const Weston &) = delete;

    [[nodiscard]] const QString &whyNot() const { return m_why; }
    [[nodiscard]] QString folder() const { return m_runtime.path(); }

    // What the compositor shows, as weston-screenshooter takes it.
    QImage screen(const QString &name) const
    {
        const QString shots = m_runtime.filePath(name);
        QDir().mkpath(shots);
        QProcess shooter;
        shooter.setWorkingDirectory(shots);
        shooter.start(QStringLiteral("weston-screenshooter"), QStringList());
        if (!shooter.waitForFinished(10000))
            return {};
        const QStringList files = QDir(shots).entryList({QStringLiteral("*.png")});
        if (files.isEmpty())
            return {};
        const QString file = QDir(shots).filePath(files.constFirst());
        const QString keep = qEnvironmentVariable("QUARRELBY_WAYLAND_SHOTS");
        if (!keep.isEmpty())
            QFile::copy(file, keep + QLatin1Char('/') + name + QStringLiteral(".png"));
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_weston;
    QString m_why = QStringLiteral("");
};

Weston *g_weston = nullptr;

} // namespace

// Where the window stands on the screen: every pixel that is not the desktop.
QRect windowOn(const QImage &screen)
{
    QRect found;
    for (int y = 0; y < screen.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            if (line[x] != kDesktop)
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

int desktopPixels(const QImage &screen, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += screen.pixel(x, y) == kDesktop ? 1 : 0;
    }
    return count;
}

class TestWaylandWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!g_weston->whyNot().isEmpty())
            QSKIP(qPrintable(g_weston->whyNot()));
        if (QGuiApplication::platformName() != QLatin1String("wayland"))
            QSKIP("Qt's Wayland platform plugin (qt6-wayland) is not installed");
        qputenv("QUARRELBY_CONTACTS", QByteArray(QUARRELBY_SOURCE_DIR) + "/samples/contacts");
        m_window = std::make_unique<MainWindow>(m_shell, m_books, m_spreadsheets);
        m_shell.setMainWindow(m_window.get());
        loadMainWindow(*m_window, [] { return 0.5; });
        showCentred(*m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void shows()
    {
        MainWindow &window = *m_window;
        QTest::qWait(300);
        const QImage screen = g_weston->screen(QStringLiteral("shown"));
        QVERIFY(!screen.isNull());
        // The window draws its own title bar: nothing around it, and the bar
        // offers what the window does.
        const QRect placed = windowOn(screen);
        QCOMPARE(placed.size(), window.size());
        QCOMPARE(window.frameGeometry().size(), window.size());
        auto *bar = window.findChild<QWidget *>(QStringLiteral("TitleBar"));
        QVERIFY(bar);
        QStringList offered;
        for (const auto *button : bar->findChildren<QToolButton *>())
            offered << button->objectName();
        QCOMPARE(offered, QStringList({QStringLiteral("TitleBarClose"), QStringLiteral("TitleBarMinimise")}));
        // Nothing of the desktop shows through the panels or the list, and
        // the panels are white.
        QCOMPARE(desktopPixels(screen, placed), 0);
        for (const QGroupBox *panel : {window.infoFrame(), window.phoneFrame()}) {
            const QPoint inside = placed.topLeft() + panel->geometry().bottomRight() - QPoint(4, 4);
            QCOMPARE(QColor(screen.pixel(inside)), QColor(Qt::white));
        }
    }

    void extractionEndsInDone()
    {
        MainWindow &window = *m_window;
        QString boxText;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            QTest::qWait(300);
            g_weston->screen(QStringLiteral("done"));
            boxText = box->text();
            box->accept();
        });
        poll.start(50);
        QTest::mouseClick(window.extractButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!boxText.isEmpty(), 20000);
        QCOMPARE(boxText, QStringLiteral("Done."));
        QVERIFY(window.list().itemCount() > 0);
    }

    void minimises()
    {
        MainWindow &window = *m_window;
        auto *minimise = window.findChild<QToolButton *>(QStringLiteral("TitleBarMinimise"));
        QVERIFY(minimise);
        QTest::mouseClick(minimise, Qt::LeftButton);
        QTRY_VERIFY(window.isMinimized());
        QTest::qWait(300);
        const QImage screen = g_weston->screen(QStringLiteral("minimised"));
        QVERIFY(windowOn(screen).isEmpty());
    }

private:
    QtShell m_shell;
    ContactStore m_books;
    test::RecordingSpreadsheets m_spreadsheets;
    std::unique_ptr<MainWindow> m_window;
};

int main(int argc, char *argv[])
{
    Weston weston;
    g_weston = &weston;
    QApplication app(argc, argv);
    TestWaylandWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_waylandwindow.moc"
