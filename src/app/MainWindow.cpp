#include "app/MainWindow.h"

#include "actions/ClearList.h"
#include "actions/CopyToClipboard.h"
#include "actions/ExportWorkbook.h"
#include "actions/ExtractContacts.h"
#include "actions/SaveAsCommaDelimited.h"
#include "actions/SaveAsTextFile.h"
#include "actions/SaveTickedContacts.h"
#include "actions/ShowHelp.h"
#include "app/FormColours.h"
#include "app/FormStyle.h"
#include "app/PointerFeedback.h"
#include "app/ResultView.h"
#include "core/FieldCatalogue.h"
#include "core/ReportNames.h"
#include "platform/Failure.h"
#include "platform/Shell.h"
#include "platform/qt/WindowFrame.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <tuple>
#include <vector>

namespace quarrelby {

namespace {
const QString kListToolTip
    = QStringLiteral("Double-click item to remove it. Move | line to right and out of window to reveal full names.");

QFont arial(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}
// Where the check box of field n stands in its frame, in twips; every box is
// 1680 by 285 twips but the wider one of the business address.
constexpr std::array<QPoint, kFieldCount> kBoxPlaces {
    {{225, 270}, {225, 630}, {225, 990}, {225, 1350}, {225, 1710}, {225, 2070}, {225, 2430}, {2340, 270}, {2340, 630},
        {2340, 990}, {225, 270}, {225, 630}, {225, 990}, {225, 1350}, {225, 1710}, {225, 2070}, {225, 2430},
        {2070, 270}, {2070, 630}, {2070, 990}, {2070, 1350}, {2070, 1710}, {2070, 2070}, {3825, 225}, {3825, 585},
        {3825, 945}, {3825, 1305}, {3825, 1710}, {3825, 2070}, {2340, 1350}, {2340, 1710}, {2340, 2070}, {2340, 2430}}};
constexpr int kWideBox = 29;
} // namespace

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    // Buttons and check boxes paint with the Button role, the rest with Window.
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
    // Only the window fills its background; the frames and check boxes show
    // it through. A control that filled its own would count as opaque, and
    // Qt's partial repaints (a compositor switching to client-side title bars
    // after the first frame, a new buffer) would leave it see-through.
}

MainWindow::MainWindow(Shell &shell, AddressBooks &books, Spreadsheets &spreadsheets, QWidget *parent)
    : QWidget(parent)
    , m_shell(shell)
    , m_books(books)
    , m_spreadsheets(spreadsheets)
    , m_files(shell)
    , m_context {shell, m_list, m_busy, [this](int n) { return fieldBox(n)->isChecked(); }}
{
    buildControls();
    provideTitleBar(*this, TitleBar::Buttons::MinimiseAndClose);
    wireActions();
    setUpTabOrder();
    addShortcuts();
}

void MainWindow::buildControls()
{
    setObjectName(QLatin1String(objectNames::mainWindow));
    // Fixed single border: minimise, no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(px(10560), px(6975));
    setFont(arial(9));
    setPalette(formPalette(QApplication::palette()));
    setBackgroundColour(this, Qt::white);
    m_pointer = new PointerFeedback(*this, m_busy);
    m_pointer->watch(this, PointerFeedback::Shape::Arrow);

    auto button = [this](const char *name, const char *caption, int left, int top, int width, int height) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(twipsRect(left, top, width, height));
        b->setFont(arial(11.25));
        QPalette palette = b->palette();
        palette.setColor(QPalette::Button, Qt::white);
        b->setPalette(palette);
        // Enter presses the focused button, as Space does.
        b->setAutoDefault(true);
        m_pointer->watch(b, PointerFeedback::Shape::Hand);
        return b;
    };
    extractButton = button(objectNames::extractButton, "Extract Contacts From Outlook", 120, 120, 10320, 400);

    auto frame = [this](const char *name, FieldFrame which, QRect geometry) {
        auto *f = new QGroupBox(frameCaption(which), this);
        f->setObjectName(QString::fromLatin1(name));
        f->setGeometry(geometry);
        setBackgroundColour(f, Qt::white);
        m_pointer->watch(f, PointerFeedback::Shape::Arrow);
        return f;
    };
    m_infoFrame = frame(objectNames::infoFrame, FieldFrame::Info, twipsRect(135, 630, 4470, 2850));
    m_phoneFrame = frame(objectNames::phoneFrame, FieldFrame::Phone, twipsRect(4725, 630, 5720, 2850));
    for (const ContactField &f : fieldCatalogue()) {
        auto *box
            = new QCheckBox(QString::fromLatin1(f.caption), f.frame == FieldFrame::Info ? m_infoFrame : m_phoneFrame);
        box->setObjectName(objectNames::fieldBox(f.index));
        const QPoint place = kBoxPlaces.at(static_cast<size_t>(f.index));
        box->setGeometry(twipsRect(place.x(), place.y(), f.index == kWideBox ? 1905 : 1680, 285));
        box->setChecked(f.tickedAtStart);
        box->setEnabled(f.index != 0);
        setBackgroundColour(box, Qt::white);
        m_fieldBoxes.at(static_cast<size_t>(f.index)) = box;
    }

    m_listView = new ResultView(m_list, this);
    m_listView->setObjectName(QLatin1String(objectNames::listView));
    m_listView->setGeometry(twipsRect(120, 3615, 10320, 2310));
    m_listView->setToolTip(kListToolTip);
    m_pointer->watch(m_listView, PointerFeedback::Shape::Arrow);
    m_pointer->watch(m_listView->viewport(), PointerFeedback::Shape::Arrow);
    m_pointer->watch(m_listView->header()->viewport(), PointerFeedback::Shape::Arrow);

    saveTextButton = button(objectNames::saveTextButton, "Save Results As Text File", 120, 6000, 3375, 400);
    saveCommaButton = button(objectNames::saveCommaButton, "Save As Comma Delimited", 3600, 6000, 3375, 400);
    workbookButton = button(objectNames::workbookButton, "Save Results As Excel File", 7080, 6000, 3360, 400);
    clipboardButton = button(objectNames::clipboardButton, "Copy Results To Clipboard", 120, 6480, 3375, 405);
    clearButton = button(objectNames::clearButton, "Clear List", 3600, 6480, 3375, 405);
    helpButton = button(objectNames::helpButton, "Help", 7080, 6480, 3360, 405);

    QStyle *style = formStyle();
    setStyle(style);
    for (QWidget *child : findChildren<QWidget *>())
        child->setStyle(style);
}

void MainWindow::wireActions()
{
    connect(extractButton, &QPushButton::clicked, this, [this] { extractContacts(m_context, m_books); });
    connect(saveTextButton, &QPushButton::clicked, this, [this] { saveAsTextFile(m_context, m_files); });
    connect(saveCommaButton, &QPushButton::clicked, this, [this] { saveAsCommaDelimited(m_context, m_files); });
    connect(workbookButton, &QPushButton::clicked, this, [this] { exportWorkbook(m_context, m_spreadsheets); });
    connect(clipboardButton, &QPushButton::clicked, this, [this] { copyToClipboard(m_context); });
    connect(clearButton, &QPushButton::clicked, this, [this] { clearList(m_context); });
    connect(helpButton, &QPushButton::clicked, this, [this] { showHelp(m_shell); });
    addCardActions();
    connect(m_listView, &ResultView::removeRequested, this, [this](int row) {
        // Nothing may escape into the event loop; the routine checks its
        // bounds, so a failure here would be the list changing under it.
        try {
            removeListItem(m_list, m_busy, row);
        } catch (const Failure &) {
        }
    });
}

void MainWindow::addCardActions()
{
    // Below the list's ticking entries: the ticked rows with every field,
    // for another address book. Their shortcuts work from any control, as
    // the buttons' do, and the menu shows them.
    auto *separator = new QAction(m_listView);
    separator->setSeparator(true);
    m_listView->addAction(separator);
    const std::tuple<const char *, CardFormat, QKeyCombination> entries[]
        = {{"Save Ticked As vCard File", CardFormat::VCard3, Qt::ALT | Qt::Key_V},
            {"Save Ticked As vCard 4.0 File", CardFormat::VCard4, Qt::ALT | Qt::SHIFT | Qt::Key_V},
            {"Save Ticked As Outlook CSV File", CardFormat::OutlookCsv, Qt::ALT | Qt::Key_U},
            {"Save Ticked As Google CSV File", CardFormat::GoogleCsv, Qt::ALT | Qt::Key_G}};
    for (const auto &[text, format, key] : entries) {
        auto *action = new QAction(QString::fromLatin1(text), m_listView);
        action->setShortcut(QKeySequence(key));
        connect(action, &QAction::triggered, this,
            [this, format = format] { saveTickedContacts(m_context, m_books, m_files, format); });
        m_listView->addAction(action);
    }
}

void MainWindow::setUpTabOrder()
{
    // Reading order: Extract, the field boxes column by column, the list,
    // then the buttons row by row. The frames take no focus; the disabled
    // Fullname box is passed over.
    std::vector<const ContactField *> fields;
    for (const ContactField &f : fieldCatalogue())
        fields.push_back(&f);
    std::stable_sort(fields.begin(), fields.end(), [](const ContactField *a, const ContactField *b) {
        const QPoint at = kBoxPlaces.at(static_cast<size_t>(a->index));
        const QPoint bt = kBoxPlaces.at(static_cast<size_t>(b->index));
        return std::tuple(a->frame != FieldFrame::Info, at.x(), at.y())
            < std::tuple(b->frame != FieldFrame::Info, bt.x(), bt.y());
    });
    QList<QWidget *> order {extractButton};
    for (const ContactField *f : fields)
        order << fieldBox(f->index);
    order << m_listView << saveTextButton << saveCommaButton << workbookButton << clipboardButton << clearButton
          << helpButton;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    // The window opens with its first step focused, and shows where.
    extractButton->setFocus(Qt::OtherFocusReason);
}

void MainWindow::addShortcuts()
{
    // Alt+letter, without an underlined letter in any caption.
    const std::pair<QPushButton *, Qt::Key> buttons[] = {{extractButton, Qt::Key_E}, {saveTextButton, Qt::Key_T},
        {saveCommaButton, Qt::Key_D}, {workbookButton, Qt::Key_X}, {clipboardButton, Qt::Key_C},
        {clearButton, Qt::Key_L}, {helpButton, Qt::Key_H}};
    for (const auto &[button, key] : buttons)
        button->setShortcut(QKeySequence(Qt::ALT | key));
    // The frames and the list have no caption to press; their shortcuts
    // move the focus to them.
    const auto focusOn = [this](Qt::Key key, auto target) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | key), this);
        connect(shortcut, &QShortcut::activated, this, [target] { target()->setFocus(Qt::ShortcutFocusReason); });
    };
    focusOn(Qt::Key_I, [this] { return fieldBox(1); });
    focusOn(Qt::Key_P, [this] { return fieldBox(10); });
    focusOn(Qt::Key_O, [this] { return m_listView; });
}

void MainWindow::showEvent(QShowEvent *event)
{
    // Showing resets it; the first focus is to be seen, as after a Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
    QWidget::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_shell.endProgram();
}

} // namespace quarrelby
