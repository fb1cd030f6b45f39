// The real window as a Wayland client of a headless compositor of the test's
// own, named by QUARRELBY_COMPOSITOR:
//   weston    leaves title bars to the program, as GNOME's compositor does;
//   sway      draws them itself (xdg-decoration);
//   sway-csd  offers to, but a "border csd" rule has the window draw its own
//             after its first frame.
// Through the compositor's own screenshots: the window shows one title bar,
// the compositor's where it decorates; nothing of the desktop shows through
// it, also after the switch; extracting the sample book ends in a "Done." box
// in front of the main window (over it where the compositor places dialogs:
// sway), also after the main window was raised; the own bar's buttons have
// names and work.
// Skipped when the compositor or Qt's Wayland plugin is missing.

#include "RecordingWorkbook.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/ResultList.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/TitleBar.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <csignal>
#include <cstring>
#include <memory>
#include <optional>

#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quarrelby;

namespace {

// The desktop's colour: any pixel of it inside the window is see-through.
constexpr QRgb kDesktop = 0xffff00ff;

// Whether a compositor listens on the socket: the file appears before it
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

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A headless compositor in a runtime folder of its own, started before the
// application so that Qt connects to it. Sway refuses to run as root: as
// root, the test runs it as nobody.
class Compositor {
public:
    explicit Compositor(const QString &kind)
        : m_kind(kind)
    {
        m_sway = kind.startsWith(QLatin1String("sway"));
        if (!m_sway && kind != QLatin1String("weston")) {
            m_why = QStringLiteral("QUARRELBY_COMPOSITOR is weston, sway or sway-csd");
            return;
        }
        const QString program
            = QStandardPaths::findExecutable(m_sway ? QStringLiteral("sway") : QStringLiteral("weston"));
        const QStringList tools = m_sway ? QStringList {QStringLiteral("grim"), QStringLiteral("wtype")}
                                         : QStringList {QStringLiteral("weston-screenshooter")};
        for (const QString &tool : tools + QStringList {program}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                m_why = m_kind + QStringLiteral(" or its tools (") + tools.join(QStringLiteral(", "))
                    + QStringLiteral(") are not installed");
                return;
            }
        }
        if (!m_runtime.isValid()) {
            m_why = QStringLiteral("no temporary folder");
            return;
        }
        QFile::setPermissions(
            m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile config(m_runtime.filePath(QStringLiteral("compositor.conf")));
        if (!config.open(QIODevice::WriteOnly)) {
            m_why = QStringLiteral("the compositor's configuration could not be written");
            return;
        }
        // A plain desktop of one colour, and windows that appear at once.
        if (m_sway) {
            config.write("output * bg #ff00ff solid_color\n");
            if (kind == QLatin1String("sway-csd"))
                config.write("for_window [app_id=\"quarrelby\"] border csd\n");
        } else {
            config.write("[core]\nidle-time=0\n"
                         "[shell]\nbackground-color=0xffff00ff\npanel-position=none\nlocking=false\n"
                         "startup-animation=none\nanimation=none\nclose-animation=none\n");
        }
        config.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("DISPLAY"));
        uid_t uid = ::getuid();
        gid_t gid = ::getgid();
        if (m_sway) {
            environment.insert(QStringLiteral("HOME"), m_runtime.path());
            environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
            environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
            environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
            if (uid == 0) {
                const passwd *nobody = ::getpwnam("nobody");
                if (!nobody) {
                    m_why = QStringLiteral("sway does not run as root, and there is no user nobody");
                    return;
                }
                uid = nobody->pw_uid;
                gid = nobody->pw_gid;
                for (const QString &path : {m_runtime.path(), config.fileName()}) {
                    if (::chown(QFile::encodeName(path).constData(), uid, gid) != 0) {
                        m_why = QStringLiteral("the runtime folder could not be given to nobody");
                        return;
                    }
                }
            }
        }
        m_compositor.setProcessEnvironment(environment);
        m_compositor.setProcessChannelMode(QProcess::MergedChannels);
        m_compositor.setStandardOutputFile(m_runtime.filePath(QStringLiteral("compositor.log")));
        m_compositor.setChildProcessModifier([uid, gid] {
            if (uid != ::getuid() && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
                ::_exit(127);
            // A test that crashes takes its compositor with it.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        if (m_sway) {
            m_compositor.start(program, {QStringLiteral("-c"), config.fileName()});
        } else {
            // --debug lets weston-screenshooter take the screen.
            m_compositor.start(program,
                {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                    QStringLiteral("--socket=wayland-1"), QStringLiteral("--width=1024"),
                    QStringLiteral("--height=900"), QStringLiteral("--debug"),
                    QStringLiteral("--config=") + config.fileName()});
        }
        // Both take the first free name, wayland-1 in a folder of their own.
        const QString socket = m_runtime.filePath(QStringLiteral("wayland-1"));
        QElapsedTimer waited;
        waited.start();
        while (!accepts(socket) && waited.elapsed() < 10000 && !m_compositor.waitForFinished(20)) { }
        if (!accepts(socket)) {
            m_why = m_kind + QStringLiteral(" did not start");
            return;
        }
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
        qputenv("WAYLAND_DISPLAY", "wayland-1");
        // Without Qt's Wayland plugin, offscreen: the test then skips.
        qputenv("QT_QPA_PLATFORM", "wayland;offscreen");
        qunsetenv("QT_WAYLAND_DISABLE_WINDOWDECORATION");
        // Headless weston has no seat; a text cursor would crash Qt 6.4 there.
        qputenv("QT_IM_MODULE", "compose");
    }

    ~Compositor()
    {
        m_compositor.terminate();
        if (!m_compositor.waitForFinished(2000))
            m_compositor.kill();
        m_compositor.waitForFinished(1000);
    }

    Compositor(const Compositor &) = delete;
    Compositor &operator=(const Compositor &) = delete;

    [[nodiscard]] const QString &whyNot() const { return m_why; }
    [[nodiscard]] bool isSway() const { return m_sway; }
    // Where the window draws its own title bar.
    [[nodiscard]] bool windowsDrawBars() const { return m_kind != QLatin1String("sway"); }

    // What the compositor shows, as its screenshot tool takes it now. Each
    // shot goes into an empty folder: weston-screenshooter names its file by
    // the second and never overwrites one, and of several files the first
    // name is an older shot, which a check that waits would read forever.
    QImage screen(const QString &name) const
    {
        const QString shots = m_runtime.filePath(name);
        QDir(shots).removeRecursively();
        QDir().mkpath(shots);
        const QString file = shots + QStringLiteral("/screen.png");
        QProcess shooter;
        shooter.setWorkingDirectory(shots);
        if (m_sway)
            shooter.start(QStringLiteral("grim"), {file});
        else
            shooter.start(QStringLiteral("weston-screenshooter"), QStringList());
        if (!shooter.waitForFinished(10000))
            return {};
        const QStringList files = QDir(shots).entryList({QStringLiteral("*.png")});
        if (files.isEmpty())
            return {};
        const QString taken = QDir(shots).filePath(files.constFirst());
        const QString keep = qEnvironmentVariable("QUARRELBY_WAYLAND_SHOTS");
        if (!keep.isEmpty()) {
            // The last shot of a name: the one a failing check saw.
            const QString kept = QStringLiteral("%1/%2-%3.png").arg(keep, m_kind, name);
            QFile::remove(kept);
            QFile::copy(taken, kept);
        }
        return QImage(taken).convertToFormat(QImage::Format_RGB32);
    }

    // Sway's command socket.
    [[nodiscard]] QStringList swaymsg(const QStringList &arguments) const
    {
        const QStringList sockets = QDir(m_runtime.path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (sockets.isEmpty())
            return {};
        return QStringList {QStringLiteral("-s"), m_runtime.filePath(sockets.constFirst())} + arguments;
    }

    // The windows sway shows, in the order it stacks them (the top last).
    [[nodiscard]] QJsonArray swayWindows() const
    {
        const QString tree
            = run(QStringLiteral("swaymsg"), swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}));
        QJsonArray found;
        std::function<void(const QJsonObject &)> walk = [&](const QJsonObject &node) {
            if (node.value(QLatin1String("app_id")).toString() == QLatin1String("quarrelby"))
                found.append(node);
            for (const char *key : {"nodes", "floating_nodes"}) {
                for (const QJsonValue &child : node.value(QLatin1String(key)).toArray())
                    walk(child.toObject());
            }
        };
        walk(QJsonDocument::fromJson(tree.toUtf8()).object());
        return found;
    }

private:
    QString m_kind;
    bool m_sway = false;
    QTemporaryDir m_runtime;
    QProcess m_compositor;
    QString m_why;
};

Compositor *g_compositor = nullptr;

// Where the windows stand on the screen: every pixel that is not the desktop.
QRect windowsOn(const QImage &screen)
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

// Where a window's own picture of itself stands whole on the screen: in front
// of everything else there.
std::optional<QRect> findOn(const QImage &screen, QWidget &window)
{
    const QImage part = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto row = static_cast<size_t>(part.width()) * sizeof(QRgb);
    for (int y = 0; y + part.height() <= screen.height(); ++y) {
        for (int x = 0; x + part.width() <= screen.width(); ++x) {
            int same = 0;
            while (same < part.height()
                && std::memcmp(screen.constScanLine(y + same) + x * sizeof(QRgb), part.constScanLine(same), row) == 0)
                ++same;
            if (same == part.height())
                return QRect(QPoint(x, y), part.size());
        }
    }
    return std::nullopt;
}

} // namespace

class TestWaylandWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!g_compositor->whyNot().isEmpty())
            QSKIP(qPrintable(g_compositor->whyNot()));
        if (QGuiApplication::platformName() != QLatin1String("wayland"))
            QSKIP("Qt's Wayland platform plugin (qt6-wayland) is not installed");
        qputenv("QUARRELBY_CONTACTS", QByteArray(QUARRELBY_SOURCE_DIR) + "/samples/contacts");
        m_window = std::make_unique<MainWindow>(m_shell, m_books, m_spreadsheets);
        m_shell.setMainWindow(m_window.get());
        loadMainWindow(*m_window, [] { return 0.5; });
        showCentred(*m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void oneTitleBar()
    {
        MainWindow &window = *m_window;
        // Sway's rule takes effect after the first frame.
        if (g_compositor->windowsDrawBars())
            QTRY_VERIFY(window.findChild<TitleBar *>());
        // Qt draws no frame of its own.
        QVERIFY(window.windowHandle()->frameMargins().isNull());
        std::optional<QRect> content;
        const QImage screen = screenWith(window, QStringLiteral("shown"), content);
        QVERIFY2(content, "the window's own picture is not on the screen");
        m_placed = windowsOn(screen);
        auto *bar = window.findChild<TitleBar *>();
        if (g_compositor->windowsDrawBars()) {
            // Nothing drawn around it: the bar is the window's.
            QCOMPARE(m_placed, *content);
            QVERIFY(bar && bar->isVisible());
            QCOMPARE(bar->geometry(), QRect(0, 0, window.width(), TitleBar::kHeight));
            QStringList offered;
            for (const auto *button : bar->findChildren<QToolButton *>()) {
                offered << button->objectName();
                QAccessibleInterface *accessible
                    = QAccessible::queryAccessibleInterface(const_cast<QToolButton *>(button));
                QCOMPARE(accessible->text(QAccessible::Name), button->toolTip());
            }
            // Sway has no minimising: a window left to draw its bar there
            // offers only what works.
            QStringList expected {QStringLiteral("TitleBarClose")};
            if (!g_compositor->isSway())
                expected << QStringLiteral("TitleBarMinimise");
            QCOMPARE(offered, expected);
        } else {
            // The compositor's bar, above the window, and none of its own.
            QVERIFY(!bar);
            QCOMPARE(m_placed.bottom(), content->bottom() + 2); // sway's border
            QVERIFY(content->top() - m_placed.top() >= 20);
            const QJsonArray windows = g_compositor->swayWindows();
            QCOMPARE(windows.size(), 1);
            QCOMPARE(windows[0][QLatin1String("border")].toString(), QStringLiteral("normal"));
        }
        // Nothing of the desktop shows through, and the panels are white.
        QCOMPARE(desktopPixels(screen, m_placed), 0);
        for (const QGroupBox *panel : {window.infoFrame(), window.phoneFrame()}) {
            const QPoint inside = content->topLeft() + panel->geometry().bottomRight() - QPoint(4, 4);
            QCOMPARE(QColor(screen.pixel(inside)), QColor(Qt::white));
        }
    }

    void doneBoxInFront()
    {
        MainWindow &window = *m_window;
        QString boxText;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            checkInFront(*box, QStringLiteral("done"));
            if (g_compositor->isSway() && !QTest::currentTestFailed()) {
                // The user clicks the main window: sway raises it, and the
                // box asks to be shown again; sway's default answer to that
                // is to mark it urgent.
                raiseMainWindow();
                checkBackInFront(*box);
            }
            boxText = box->text();
            box->accept();
        });
        poll.start(50);
        QTest::mouseClick(window.extractButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!boxText.isEmpty(), 20000);
        m_keyboard.kill();
        m_keyboard.waitForFinished(2000);
        QCOMPARE(boxText, QStringLiteral("Done."));
        QVERIFY(window.list().itemCount() > 0);
    }

    void minimises()
    {
        MainWindow &window = *m_window;
        auto *minimise = window.findChild<QToolButton *>(QStringLiteral("TitleBarMinimise"));
        if (!minimise)
            QSKIP("the window offers no minimising here");
        QTest::mouseClick(minimise, Qt::LeftButton);
        QTRY_VERIFY(window.isMinimized());
        // A shot that could not be taken shows no window either.
        const auto cleared = [] {
            const QImage screen = g_compositor->screen(QStringLiteral("minimised"));
            return !screen.isNull() && windowsOn(screen).isEmpty();
        };
        QTRY_VERIFY(cleared());
    }

private:
    // The screen once the window's own picture stands whole on it, within
    // ten seconds: the compositor shows a frame a moment after Qt draws it.
    static QImage screenWith(QWidget &window, const QString &name, std::optional<QRect> &found)
    {
        QImage screen;
        QElapsedTimer waited;
        waited.start();
        do {
            QTest::qWait(250);
            screen = g_compositor->screen(name);
            found = findOn(screen, window);
        } while (!found && waited.elapsed() < 10000);
        return screen;
    }

    // The box stands whole (in front of everything) over the main window,
    // with one title bar that shows its whole title.
    void checkInFront(QMessageBox &box, const QString &name)
    {
        QCOMPARE(box.windowHandle()->transientParent(), m_window->windowHandle());
        QVERIFY(box.windowHandle()->frameMargins().isNull());
        std::optional<QRect> found;
        const QImage screen = screenWith(box, name, found);
        QVERIFY2(found, "the box is not in front");
        // Weston places every window at random, a dialog too.
        if (g_compositor->isSway())
            QVERIFY2(m_placed.contains(*found), "the box is not over the window");
        QCOMPARE(desktopPixels(screen, m_placed), 0);
        auto *bar = box.findChild<TitleBar *>();
        QCOMPARE(bar != nullptr, g_compositor->windowsDrawBars());
        if (bar) {
            QCOMPARE(box.windowTitle(), QStringLiteral("Quarrelby"));
            QVERIFY(box.width() >= bar->widthForTitle());
            QCOMPARE(bar->findChildren<QToolButton *>().size(), 1);
        }
    }

    // Sway's default answer to a window that asks to be shown is to mark it
    // urgent; a compositor that shows it puts it in front.
    void checkBackInFront(QMessageBox &box)
    {
        bool urgent = false;
        std::optional<QRect> found;
        QElapsedTimer waited;
        waited.start();
        while (!urgent && !found && waited.elapsed() < 10000) {
            QTest::qWait(250);
            for (const QJsonValue &node : g_compositor->swayWindows()) {
                if (node[QLatin1String("focused")].toBool() == false && node[QLatin1String("urgent")].toBool())
                    urgent = true;
            }
            found = findOn(g_compositor->screen(QStringLiteral("done-after-raise")), box);
        }
        QVERIFY2(urgent || found, "the box neither came back in front nor asked to");
    }

    void raiseMainWindow()
    {
        // Qt asks the compositor to show a window only on behalf of an input
        // event (the click that raised the main window): the headless seat
        // gets a keyboard for a while, and Shift pressed until Qt sees it (a
        // key pressed as the keyboard arrives comes inside its arrival).
        bool pressed = false;
        KeySeen seen(pressed);
        qApp->installEventFilter(&seen);
        QStringList keys;
        for (int i = 0; i < 10; ++i)
            keys << QStringLiteral("-s") << QStringLiteral("300") << QStringLiteral("-k") << QStringLiteral("Shift_L");
        m_keyboard.start(QStringLiteral("wtype"), keys << QStringLiteral("-s") << QStringLiteral("3000"));
        QTRY_VERIFY_WITH_TIMEOUT(pressed, 5000);
        const QJsonArray windows = g_compositor->swayWindows();
        QCOMPARE(windows.size(), 2);
        // The main window came first.
        const auto main
            = std::min(windows[0][QLatin1String("id")].toInteger(), windows[1][QLatin1String("id")].toInteger());
        QVERIFY(!run(QStringLiteral("swaymsg"), g_compositor->swaymsg({QStringLiteral("[con_id=%1] focus").arg(main)}))
                     .isEmpty());
    }

    struct KeySeen : QObject {
        explicit KeySeen(bool &seen)
            : m_seen(seen)
        {
        }
        bool eventFilter(QObject *, QEvent *event) override
        {
            m_seen = m_seen || event->type() == QEvent::KeyPress;
            return false;
        }
        bool &m_seen;
    };

    QtShell m_shell;
    QProcess m_keyboard;
    ContactStore m_books;
    test::RecordingSpreadsheets m_spreadsheets;
    std::unique_ptr<MainWindow> m_window;
    QRect m_placed;
};

int main(int argc, char *argv[])
{
    Compositor compositor(qEnvironmentVariable("QUARRELBY_COMPOSITOR", QStringLiteral("weston")));
    g_compositor = &compositor;
    QApplication app(argc, argv);
    // The app id that sway's rule names.
    QGuiApplication::setDesktopFileName(QStringLiteral("quarrelby"));
    TestWaylandWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_waylandwindow.moc"
