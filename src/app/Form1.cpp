#include "app/Form1.h"

#include "export/ClearList.h"
#include "export/Clipboard.h"
#include "export/ExcelExport.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"
#include "outlook/Extraction.h"
#include "outlook/FieldCatalogue.h"
#include "outlook/Help.h"
#include "platform/Shell.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>

#include <cmath>

namespace quarrelby {

namespace {
constexpr double kTwipsPerPixel = 15.0;

int px(int twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}
} // namespace

Form1::Form1(Shell &shell, AutomationFactory &automation, QWidget *parent)
    : QWidget(parent)
    , m_shell(shell)
    , m_context {shell, automation, m_list, m_pointer,
          [this](int n) { return m_chkData.at(static_cast<size_t>(n))->isChecked() ? 1 : 0; }}
{
    buildControls();
}

void Form1::buildControls()
{
    setFixedSize(px(10560), px(6975));
    auto button = [this](const char *caption, int left, int top, int width, int height) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setGeometry(twipsRect(left, top, width, height));
        return b;
    };
    PushButton2 = button("Extract Contacts From Outlook", 120, 120, 10320, 400);

    m_frame1 = new QGroupBox(frameCaption(FieldFrame::Frame1), this);
    m_frame1->setGeometry(twipsRect(135, 630, 4470, 2850));
    m_frame2 = new QGroupBox(frameCaption(FieldFrame::Frame2), this);
    m_frame2->setGeometry(twipsRect(4725, 630, 5720, 2850));
    for (const ContactField &f : fieldCatalogue()) {
        auto *box = new QCheckBox(QString::fromLatin1(f.caption), f.frame == FieldFrame::Frame1 ? m_frame1 : m_frame2);
        box->setGeometry(twipsRect(f.left, f.top, f.width, f.height));
        box->setChecked(f.tickedAtStart);
        box->setEnabled(f.index != 0);
        m_chkData.at(static_cast<size_t>(f.index)) = box;
    }

    m_listView1 = new QTreeView(this);
    m_listView1->setGeometry(twipsRect(120, 3615, 10320, 2310));
    m_listView1->setRootIsDecorated(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setModel(&m_list);
    m_listView1->header()->setMinimumSectionSize(0);
    m_listView1->header()->setStretchLastSection(false);
    connect(&m_list, &ResultList::columnWidthChanged, this, &Form1::syncColumnWidth);

    PushButton6 = button("Save Results As Text File", 120, 6000, 3375, 400);
    PushButton4 = button("Save As Comma Delimited", 3600, 6000, 3375, 400);
    PushButton1 = button("Save Results As Excel File", 7080, 6000, 3360, 400);
    PushButton3 = button("Copy Results To Clipboard", 120, 6480, 3375, 405);
    PushButton7 = button("Clear List", 3600, 6480, 3375, 405);
    PushButton13 = button("Help", 7080, 6480, 3360, 405);

    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(m_context); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(m_context); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(m_context); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(m_context); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(m_context); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(m_context); });
    connect(PushButton13, &QPushButton::clicked, this, [this] { PushButton13_Click(m_shell); });

    for (const ContactField &f : fieldCatalogue())
        m_list.addColumn(QString::fromLatin1(f.caption));
    for (int k = 1; k <= m_list.headerCount(); ++k)
        m_list.setColumnWidth(k, 2000);
}

void Form1::syncColumnWidth(int k, float twips)
{
    m_listView1->header()->resizeSection(k - 1, static_cast<int>(std::lround(twips / kTwipsPerPixel)));
}

} // namespace quarrelby
