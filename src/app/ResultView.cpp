#include "app/ResultView.h"

#include "app/AccessibleList.h"
#include "app/Twips.h"
#include "core/ResultList.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace quarrelby {

ResultView::ResultView(ResultList &list, QWidget *parent)
    : QTreeView(parent)
    , m_list(list)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Click, Shift+click, Ctrl+click and Ctrl+A choose the rows that Space
    // and the context menu tick.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setModel(&m_list);

    QHeaderView *columns = header();
    columns->setMinimumSectionSize(0);
    columns->setStretchLastSection(false);
    // Column k is field k - 1 of every export; the view must not reorder it.
    columns->setSectionsMovable(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    // The list paints its background itself (paintEvent); the header paints
    // all of its area. A viewport that filled its own would count as opaque,
    // and Qt's partial repaints after a new buffer would leave it see-through.
    viewport()->setAutoFillBackground(false);
    columns->viewport()->setAutoFillBackground(false);

    addTickActions();
    installAccessibleList();

    connect(&m_list, &ResultList::columnWidthChanged, this, &ResultView::showWidth);
    connect(&m_list, &QAbstractItemModel::modelReset, this, [this] {
        for (int k = 1; k <= m_list.headerCount(); ++k)
            showWidth(k, m_list.columnWidth(k));
    });
    connect(columns, &QHeaderView::sectionResized, this, [this](int section, int oldSize, int newSize) {
        takeWidth(section, newSize);
        if ((oldSize == 0) != (newSize == 0))
            forgetAccessibleCells(this);
    });
    connect(&m_list, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex &first, const QModelIndex &last, const QList<int> &roles) {
            if (roles.contains(Qt::CheckStateRole))
                announceTicks(first.row(), last.row());
        });
}

void ResultView::announceTicks(int first, int last)
{
    if (!QAccessible::isActive())
        return;
    // The rows on screen and the current one: a screen reader speaks of
    // those, and a Ctrl+A over many thousands must not send an event each.
    QList<int> rows;
    const QModelIndex topIndex = indexAt(QPoint(0, 0));
    if (isVisible() && topIndex.isValid()) {
        const QModelIndex bottomIndex = indexAt(QPoint(0, viewport()->height() - 1));
        const int bottom = std::min(last, bottomIndex.isValid() ? bottomIndex.row() : m_list.rowCount() - 1);
        for (int row = std::max(first, topIndex.row()); row <= bottom; ++row)
            rows << row;
    }
    const int current = currentIndex().row();
    if (current >= first && current <= last && !rows.contains(current))
        rows << current;
    QAccessible::State checked;
    checked.checked = true;
    for (int row : rows) {
        if (QAccessibleInterface *cell = accessibleCell(this, row, 0)) {
            QAccessibleStateChangeEvent event(cell, checked);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void ResultView::announceFocus()
{
    const QModelIndex current = currentIndex();
    if (!QAccessible::isActive() || !hasFocus() || !current.isValid())
        return;
    if (QAccessibleInterface *cell = accessibleCell(this, current.row(), current.column())) {
        QAccessibleEvent event(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

void ResultView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The tree view's own events number the cells over every column, the
    // collapsed ones too; the list's interface counts the shown ones.
    QAbstractItemView::currentChanged(current, previous);
    viewport()->update();
    announceFocus();
}

void ResultView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    // As for the focus; and the tree view would list every selected cell
    // to find the first.
    QAbstractItemView::selectionChanged(selected, deselected);
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&event);
    }
}

void ResultView::focusInEvent(QFocusEvent *event)
{
    QTreeView::focusInEvent(event);
    announceFocus();
}

QModelIndex ResultView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Left and Right move the current cell to the next shown column, so that
    // F2 and a screen reader reach every cell's text.
    const QModelIndex current = currentIndex();
    if ((action != MoveLeft && action != MoveRight) || !current.isValid())
        return QTreeView::moveCursor(action, modifiers);
    const int step = action == MoveRight ? 1 : -1;
    for (int k = current.column() + step; k >= 0 && k < m_list.columnCount(); k += step) {
        if (!header()->isSectionHidden(k) && header()->sectionSize(k) > 0)
            return m_list.index(current.row(), k);
    }
    return current;
}

void ResultView::showCurrentText()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    scrollTo(current);
    const QRect cell = visualRect(current);
    const QString text = current.data(Qt::ToolTipRole).toString();
    const QString shown = text.isEmpty() ? m_list.headerData(current.column(), Qt::Horizontal).toString() : text;
    QToolTip::showText(viewport()->mapToGlobal(cell.bottomLeft()), shown, viewport(), cell);
}

void ResultView::addTickActions()
{
    setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto add = [this](const char *text, auto handler) {
        auto *action = new QAction(QString::fromLatin1(text), this);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    add("Tick All", [this] { m_list.setCheckedRange(1, m_list.rowCount(), true); });
    add("Untick All", [this] { m_list.setCheckedRange(1, m_list.rowCount(), false); });
    add("Tick Selected", [this] { tickSelected(true); });
    add("Untick Selected", [this] { tickSelected(false); });
}

void ResultView::tickSelected(bool checked)
{
    // One change per run of adjacent rows, whatever the number of rows.
    const QItemSelection selection = selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.left() == 0)
            m_list.setCheckedRange(range.top() + 1, range.bottom() + 1, checked);
    }
}

void ResultView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex focused = currentIndex();
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier) {
        // The desktop's other key for the context menu, beside the Menu key.
        const QPoint at = focused.isValid() ? visualRect(focused).center() : viewport()->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(this, &menu);
    } else if (!focused.isValid() || modifiers != Qt::NoModifier) {
        QTreeView::keyPressEvent(event);
        return;
    } else if (key == Qt::Key_F2) {
        showCurrentText();
    } else if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        emit removeRequested(focused.row() + 1);
    } else if (key == Qt::Key_Space) {
        // The focused row decides for every selected row, as in a file manager.
        const bool tick = !m_list.checked(focused.row() + 1);
        if (selectionModel()->hasSelection())
            tickSelected(tick);
        else
            m_list.setChecked(focused.row() + 1, tick);
    } else {
        QTreeView::keyPressEvent(event);
        return;
    }
    event->accept();
}

int ResultView::sectionPixels(float twips)
{
    return pixelsFromTwips(std::max(0.0F, twips));
}

void ResultView::showWidth(int k, float twips)
{
    if (k < 1 || k > header()->count())
        return;
    m_showingWidth = true;
    header()->resizeSection(k - 1, sectionPixels(twips));
    m_showingWidth = false;
}

void ResultView::takeWidth(int section, int newSize)
{
    const int k = section + 1;
    if (m_showingWidth || k > m_list.headerCount())
        return;
    // The width in twips is finer than a pixel: keep it while it still shows
    // as this many pixels.
    if (sectionPixels(m_list.columnWidth(k)) == newSize)
        return;
    m_list.setColumnWidth(k, static_cast<float>(newSize * twipsPerPixel()));
}

bool ResultView::onTickBox(const QModelIndex &index, const QPoint &position) const
{
    if (index.column() != 0)
        return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect tick = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    // The margin around the box belongs to it: a quick second click there
    // is a user ticking, not removing.
    return tick.adjusted(-3, -3, 3, 3).contains(position);
}

void ResultView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid() && !onTickBox(index, position))
        emit removeRequested(index.row() + 1);
}

bool ResultView::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QTreeView::viewportEvent(event);
    // A cell with text shows its whole text (cut columns, multi-line
    // addresses); everywhere else the list tells how it is used.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString cell = index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
    if (cell.isEmpty())
        QToolTip::showText(help->globalPos(), toolTip(), viewport());
    else
        QToolTip::showText(help->globalPos(), cell, viewport(), visualRect(index));
    return true;
}

void ResultView::paintEvent(QPaintEvent *event)
{
    QPainter(viewport()).fillRect(event->rect(), viewport()->palette().brush(viewport()->backgroundRole()));
    QTreeView::paintEvent(event);
}

} // namespace quarrelby
