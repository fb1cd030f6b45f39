#include "platform/qt/QtShell.h"

#include "platform/PrivateFolder.h"
#include "platform/qt/ClipboardHandover.h"
#include "platform/qt/WindowFrame.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <cstdlib>

namespace quarrelby {

namespace {
// Yielding costs an event-loop pass; a per-cell yield must cost a clock read.
constexpr qint64 kYieldSliceMs = 15;
constexpr unsigned kClockEvery = 64;
// What a box cut to fit the screen keeps of the text's end.
constexpr int kKeptLastLines = 3;
constexpr qsizetype kKeptLastLength = 500;
// How long the program may wait at its end for the clipboard manager.
constexpr int kClipboardHandoverMs = 1000;

// A box over a window that is not on screen yet (start-up reports, the advice
// that ends the program) has nothing to stand over: it goes to the middle of
// the screen, as the desktop places a first window. Qt would centre it over
// the unshown window, which sits at the top-left corner.
//
// A text taller or wider than the screen would push the box's button off it:
// the box then shows as much of the text's start as fits, and its last
// lines, with the whole text under its details button. The last lines are
// where an error report says where it happened and asks for a screenshot
// of itself: a screenshot must have them.
class MessageBox : public QMessageBox {
public:
    explicit MessageBox(QWidget *owner)
        : QMessageBox(owner && owner->isVisible() ? owner : nullptr)
        , m_screen(owner ? owner->screen() : nullptr)
    {
        provideTitleBar(*this, TitleBar::Buttons::Close);
        treatAsDialog(*this);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event); // fixes the box's size
        const QScreen *screen = m_screen ? m_screen.data() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        // A box cut to fit stands in the middle of the screen too.
        if (!fitInto(screen->availableGeometry()) && parentWidget())
            return;
        QRect placed = frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }

private:
    // Halves the start of the text shown until the box fits the screen; the
    // box sizes itself anew for each text while it is visible. False when
    // the whole text fits.
    bool fitInto(const QRect &available)
    {
        const auto fits = [&] {
            const QSize size = frameGeometry().size();
            return size.width() <= available.width() && size.height() <= available.height();
        };
        if (fits())
            return false;
        const QString whole = text();
        setDetailedText(whole);
        const QString cut = QStringLiteral("\n… (the whole text is under \"%1\")\n")
                                .arg(QMessageBox::tr("Show Details...").remove(QLatin1Char('&')));
        // The last lines, when there are lines and they are not too long.
        qsizetype tailStart = whole.size();
        for (int lines = 0; lines < kKeptLastLines && tailStart > 0; ++lines)
            tailStart = tailStart > 1 ? whole.lastIndexOf(QLatin1Char('\n'), tailStart - 1) : -1;
        if (tailStart <= 0 || whole.size() - tailStart > kKeptLastLength)
            tailStart = whole.size();
        const QString tail = tailStart < whole.size() ? whole.mid(tailStart + 1) : QString();
        qsizetype shown = tailStart;
        while (!fits() && shown > 1) {
            shown /= 2;
            // Whole lines where there are lines to cut at.
            const qsizetype lineEnd = whole.lastIndexOf(QLatin1Char('\n'), shown);
            const QString part = lineEnd > 0 ? whole.left(lineEnd) : whole.left(shown);
            setText(part + cut + tail);
        }
        return true;
    }

    QPointer<QScreen> m_screen;
};
} // namespace

MessageAnswer QtShell::messageBox(const MessageRequest &request)
{
    MessageBox box(m_mainWindow);
    box.setWindowTitle(request.caption);
    // CR LF and bare CR as the line feeds that a label shows.
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(request.icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultButton == MessageAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (request.buttons == MessageButtons::YesNo)
        return result == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    return MessageAnswer::Ok;
}

QString QtShell::showSave(const SaveDialogSettings &settings)
{
    QFileDialog dialog(m_mainWindow, settings.title);
    provideTitleBar(dialog, TitleBar::Buttons::Close);
    treatAsDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The actions ask about an existing file themselves.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!settings.nameFilters.isEmpty())
        dialog.setNameFilters(settings.nameFilters);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

bool QtShell::clipboardClear()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear(QClipboard::Clipboard);
    return true;
}

bool QtShell::clipboardSetText(const QByteArray &utf8)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    // Plain text in Qt is UTF-8: the clipboard hands these bytes out as
    // they are (UTF8_STRING on X11) and makes UTF-16 only for a reader
    // that asks for a QString.
    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), utf8);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    // A clipboard that did not take the text (no clipboard on this platform,
    // or another owner) reads back something else.
    const QMimeData *now = clipboard->mimeData(QClipboard::Clipboard);
    return now && now->data(QStringLiteral("text/plain")) == utf8;
}

void QtShell::yield()
{
    // Exports yield once per cell: even the clock read is worth skipping
    // most of the time.
    if (++m_yieldCalls % kClockEvery != 0)
        return;
    if (m_sinceYield.elapsed() < kYieldSliceMs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceYield.restart();
}

void QtShell::sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

bool QtShell::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

QString QtShell::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

bool QtShell::fileExists(const QString &path) const
{
    try {
        return !path.isEmpty() && QFileInfo::exists(path);
    } catch (...) {
        return false;
    }
}

void QtShell::endProgram()
{
    // The one way this program ends, from the closed window and from the
    // start-up check. It ends at once rather than by leaving the event loop:
    // the window may close while an action waits in a yield, and returning
    // there would let the action go on after the window has gone, writing a
    // file or showing a workbook the user no longer expects. Ending again
    // while the clipboard is handed over skips a second hand-over.
    if (!m_ending) {
        m_ending = true;
        runEndHooks();
        // The private copies of books and a workbook in the making; no
        // destructor runs after _Exit.
        removeLiveFoldersNow();
        // What the user copied stays pasteable after the program has gone.
        handOverClipboard(kClipboardHandoverMs);
    }
    std::_Exit(0);
}

} // namespace quarrelby
