#include "app/Form1.h"

#include "app/FormStyle.h"
#include "app/PointerFeedback.h"
#include "app/ResultView.h"
#include "app/Startup.h"
#include "app/TitleBar.h"
#include "app/Twips.h"
#include "core/FieldCatalogue.h"
#include "export/ClearList.h"
#include "export/Clipboard.h"
#include "export/ExcelExport.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"
#include "outlook/Extraction.h"
#include "outlook/Help.h"
#include "platform/Failure.h"
#include "platform/Shell.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>

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
} // namespace

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    // Buttons and check boxes paint with the Button role, the rest with Window.
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

int Form1::px(int twips)
{
    return pixelsFromTwips(twips);
}

QRect Form1::twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

Form1::Form1(
    Shell &shell, AutomationFactory &automation, AddressBooks &books, Spreadsheets *spreadsheets, QWidget *parent)
    : QWidget(parent)
    , m_shell(shell)
    , m_files(shell)
    , m_context {shell, automation, m_list, m_pointer,
          [this](int n) { return m_chkData.at(static_cast<size_t>(n))->isChecked() ? 1 : 0; }, &m_files, &books,
          spreadsheets}
{
    buildControls();
    if (TitleBar::needed())
        addOwnTitleBar();
    wireActions();
    setUpTabOrder();
    connect(&m_pointer, &MousePointer::changed, this, &Form1::showPointer);
}

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    // Fixed single border: minimise, no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(px(10560), px(6975));
    setFont(arial(9));
    setBackgroundColour(this, Qt::white);
    m_feedback = new PointerFeedback(m_pointer, this);
    m_feedback->watchSurface(this);

    auto button = [this](const char *name, const char *caption, int left, int top, int width, int height) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(twipsRect(left, top, width, height));
        b->setFont(arial(11.25));
        QPalette palette = b->palette();
        palette.setColor(QPalette::Button, Qt::white);
        b->setPalette(palette);
        b->setAutoDefault(false);
        m_feedback->watchButton(b);
        return b;
    };
    PushButton2 = button("PushButton2", "Extract Contacts From Outlook", 120, 120, 10320, 400);

    auto frame = [this](const char *name, FieldFrame which, QRect geometry) {
        auto *f = new QGroupBox(frameCaption(which), this);
        f->setObjectName(QString::fromLatin1(name));
        f->setGeometry(geometry);
        setBackgroundColour(f, Qt::white);
        m_feedback->watchSurface(f);
        return f;
    };
    m_frame1 = frame("Frame1", FieldFrame::Frame1, twipsRect(135, 630, 4470, 2850));
    m_frame2 = frame("Frame2", FieldFrame::Frame2, twipsRect(4725, 630, 5720, 2850));
    for (const ContactField &f : fieldCatalogue()) {
        auto *box = new QCheckBox(QString::fromLatin1(f.caption), f.frame == FieldFrame::Frame1 ? m_frame1 : m_frame2);
        box->setObjectName(QStringLiteral("chkData(%1)").arg(f.index));
        box->setGeometry(twipsRect(f.left, f.top, f.width, f.height));
        box->setChecked(f.tickedAtStart);
        box->setEnabled(f.index != 0);
        setBackgroundColour(box, Qt::white);
        m_chkData.at(static_cast<size_t>(f.index)) = box;
    }

    m_listView1 = new ResultView(m_list, this);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_listView1->setGeometry(twipsRect(120, 3615, 10320, 2310));
    m_listView1->setToolTip(kListToolTip);
    m_feedback->watchSurface(m_listView1);
    m_feedback->watchSurface(m_listView1->viewport());
    m_feedback->watchSurface(m_listView1->header()->viewport());

    PushButton6 = button("PushButton6", "Save Results As Text File", 120, 6000, 3375, 400);
    PushButton4 = button("PushButton4", "Save As Comma Delimited", 3600, 6000, 3375, 400);
    PushButton1 = button("PushButton1", "Save Results As Excel File", 7080, 6000, 3360, 400);
    PushButton3 = button("PushButton3", "Copy Results To Clipboard", 120, 6480, 3375, 405);
    PushButton7 = button("PushButton7", "Clear List", 3600, 6480, 3375, 405);
    PushButton13 = button("PushButton13", "Help", 7080, 6480, 3360, 405);

    QStyle *style = formStyle();
    setStyle(style);
    for (QWidget *child : findChildren<QWidget *>())
        child->setStyle(style);
}

void Form1::addOwnTitleBar()
{
    // Qt drops the frameless hint while title-bar buttons are asked for.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    // The controls keep their places below the bar; the window grows by it.
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->move(child->x(), child->y() + TitleBar::kHeight);
    setFixedSize(width(), height() + TitleBar::kHeight);
    new TitleBar(this);
    m_ownTitleBar = true;
}

void Form1::wireActions()
{
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(m_context); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(m_context); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(m_context); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(m_context); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(m_context); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(m_context); });
    connect(PushButton13, &QPushButton::clicked, this, [this] { PushButton13_Click(m_shell); });
    connect(m_listView1, &ResultView::itemDoubleClicked, this, [this](int item) {
        // Nothing may escape into the event loop; the routine checks its
        // bounds, so a failure here would be the list changing under it.
        try {
            RemoveSelectedItem(m_list, m_pointer, item);
        } catch (const Failure &) {
        }
    });
}

void Form1::setUpTabOrder()
{
    // The frames take no focus; the disabled Fullname box is passed over.
    std::array<QWidget *, kFieldCount> boxes {};
    for (const ContactField &f : fieldCatalogue())
        boxes.at(static_cast<size_t>(f.tabPosition)) = chkData(f.index);
    QList<QWidget *> order {m_listView1};
    for (QWidget *box : boxes)
        order << box;
    order << PushButton2 << PushButton6 << PushButton4 << PushButton1 << PushButton7 << PushButton13 << PushButton3;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Form1::setMouseIcon(std::optional<QCursor> icon)
{
    m_mouseIcon = std::move(icon);
    showPointer(m_pointer.value());
}

void Form1::showPointer(int value)
{
    // The window's cursor is inherited by every control that has none of its
    // own, so the hourglass covers the buttons and the list as well.
    if (value == MousePointer::Default)
        unsetCursor();
    else
        setCursor(cursorFor(value, m_mouseIcon));
}

void Form1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!m_ownTitleBar)
        return;
    // Without the desktop's frame, a line tells the window from a light desktop.
    QPainter painter(this);
    painter.setPen(QColor(TitleBar::kEdge));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload(m_shell);
}

} // namespace quarrelby
