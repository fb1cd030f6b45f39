#include "app/Startup.h"

#include "actions/RequireAddressBooks.h"
#include "app/MainWindow.h"
#include "app/PointerFeedback.h"
#include "app/ScreenFit.h"
#include "core/FieldCatalogue.h"
#include "core/ReportNames.h"
#include "core/Steps.h"
#include "platform/Failure.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QRandomGenerator>
#include <QScreen>
#include <QStringDecoder>
#include <QTime>
#include <QTimer>

#include <cmath>

namespace quarrelby {

namespace {
constexpr qsizetype kTitleLimit = 40;
// A skin is a style sheet of a few kilobytes; refuse to read a huge file.
constexpr qint64 kSkinLimit = 1 << 20;

// Qt reports a style sheet that it cannot parse only as a warning, at the
// moment it first polishes a widget with it.
QtMessageHandler g_previousHandler = nullptr;
bool g_sheetRejected = false;

void watchSheetWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse stylesheet"))) {
        g_sheetRejected = true;
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QString readSkin(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kSkinLimit)
        throw Failure(QStringLiteral("The skin file could not be read"));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString sheet = utf8(bytes);
    if (utf8.hasError())
        throw Failure(QStringLiteral("The skin file is not a style sheet"));
    return sheet;
}

void applyStyleSheet(QWidget &window, const QString &sheet)
{
    g_sheetRejected = false;
    g_previousHandler = qInstallMessageHandler(watchSheetWarnings);
    window.setStyleSheet(sheet);
    window.ensurePolished();
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
    if (g_sheetRejected) {
        window.setStyleSheet(QString());
        throw Failure(QStringLiteral("The skin file is not a style sheet"));
    }
}

// The skin: with x/o.cjs in the program folder, the window, its frames and
// its check boxes take the button-face colour and the file, a Qt style sheet,
// styles the window. Throws Failure when the file cannot be used.
void applySkin(MainWindow &window)
{
    const QString path = window.shell().programFolder() + QLatin1String(kSkinFile);
    if (!QFileInfo(path).isFile())
        return;
    // The window's palette, not the desktop's: its text colours go with it.
    const QColor buttonFace = window.palette().color(QPalette::Button);
    setBackgroundColour(&window, buttonFace);
    for (QWidget *control : window.findChildren<QWidget *>()) {
        if (qobject_cast<QCheckBox *>(control) || qobject_cast<QGroupBox *>(control))
            setBackgroundColour(control, buttonFace);
    }
    applyStyleSheet(window, readSkin(path));
}

// One start in a hundred opens the home page, without waiting for it.
void maybeOpenHomePage(SystemService &shell, const RandomDraw &draw)
{
    const int number = static_cast<int>(std::floor(draw() * 100.0)) + 1;
    if (number != 7)
        return;
    if (!shell.startDetached(QStringLiteral("xdg-open"), {QLatin1String(kHomePageAddress)}))
        throw Failure(QStringLiteral("File not found: xdg-open"));
}
} // namespace

double timerDraw()
{
    QRandomGenerator generator(static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay()));
    return generator.generateDouble();
}

QString applicationTitleFor(const QString &displayName)
{
    QString title = displayName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break;
        title.truncate(space);
    } while (title.size() > kTitleLimit);
    return title;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/quarrelby.png").arg(size), QSize(size, size));
    return icon;
}

void loadMainWindow(MainWindow &window, const RandomDraw &draw)
{
    Shell &shell = window.shell();
    namespace line = reports::startUp;
    Steps steps(shell, line::place);
    steps(line::applySkin, [&] { applySkin(window); });
    const QString cursorPath = shell.programFolder() + QLatin1String(kCursorFile);
    if (shell.fileExists(cursorPath))
        steps(line::loadCursor, [&] { window.pointer().setHandPicture(loadCursorFile(cursorPath)); });
    steps(line::maybeOpenHomePage, [&] { maybeOpenHomePage(shell, draw); });
    window.setWindowTitle(QLatin1String(kProductName));
    window.setWindowIcon(applicationIcon());
    shell.setApplicationTitle(applicationTitleFor(QLatin1String(kProductName)));
    for (int i = 0; i < kFieldCount; ++i) {
        window.list().addColumn(window.fieldBox(i)->text());
        window.list().setColumnWidth(i + 1, 2000);
    }
    // Last, outside the steps: the check answers every failure itself, and
    // ending the program is no failure to report.
    requireAddressBooks(shell, window.books());
}

void showCentred(QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect placed = window.frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        window.move(placed.topLeft());
    }
    fitToScreen(window);
    window.show();
    // The desktop's frame is known once the window is shown; fit again with it.
    QTimer::singleShot(0, &window, [&window] { fitToScreen(window); });
}

} // namespace quarrelby
