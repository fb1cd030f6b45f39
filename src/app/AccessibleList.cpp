#include "app/AccessibleList.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>
#include <QTreeView>

#include <vector>

namespace quarrelby {

namespace {

const QString kName = QStringLiteral("Contacts");
const QString kToggle = QStringLiteral("toggle");

// The shown columns, in order; a column narrowed to nothing is not shown.
std::vector<int> shownColumns(const QTreeView *view)
{
    std::vector<int> shown;
    const QHeaderView *header = view->header();
    for (int k = 0; k < header->count(); ++k) {
        if (!header->isSectionHidden(k) && header->sectionSize(k) > 0)
            shown.push_back(k);
    }
    return shown;
}

class CellAccessible : public QAccessibleInterface,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    CellAccessible(QTreeView *view, int row, int column)
        : m_view(view)
        , m_row(row)
        , m_column(column)
    {
    }

    [[nodiscard]] bool isValid() const override
    {
        return m_view && m_row < m_view->model()->rowCount() && m_column < m_view->model()->columnCount();
    }
    [[nodiscard]] QObject *object() const override { return nullptr; }
    [[nodiscard]] QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    [[nodiscard]] QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_view.data());
    }
    [[nodiscard]] QAccessibleInterface *child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    [[nodiscard]] QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override { }
    [[nodiscard]] QAccessible::Role role() const override
    {
        return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }

    [[nodiscard]] QString text(QAccessible::Text which) const override
    {
        if (which != QAccessible::Name || !isValid())
            return {};
        if (m_row < 0)
            return m_view->model()->headerData(m_column, Qt::Horizontal).toString();
        return index().data().toString();
    }

    [[nodiscard]] QRect rect() const override
    {
        if (!isValid())
            return {};
        if (m_row < 0) {
            const QHeaderView *header = m_view->header();
            const QRect section(
                header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column), header->height());
            return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
        }
        return m_view->visualRect(index()).translated(m_view->viewport()->mapToGlobal(QPoint(0, 0)));
    }

    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        const QRect shown(m_view->viewport()->mapToGlobal(QPoint(0, 0)), m_view->viewport()->size());
        if (!shown.intersects(rect()))
            state.invisible = true;
        if (m_row < 0)
            return state;
        state.selectable = state.focusable = state.extSelectable = true;
        state.selected = isSelected();
        // Only while the list has the focus: elsewhere the current cell is
        // no focus at all.
        state.focused = m_view->hasFocus() && m_view->currentIndex() == index();
        if (m_column == 0) {
            state.checkable = true;
            state.checked = index().data(Qt::CheckStateRole).toInt() == Qt::Checked;
        }
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && m_row >= 0)
            return static_cast<QAccessibleTableCellInterface *>(this);
        if (type == QAccessible::ActionInterface && m_row >= 0 && m_column == 0)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface
    [[nodiscard]] bool isSelected() const override
    {
        return isValid() && m_view->selectionModel()->isRowSelected(m_row, QModelIndex());
    }
    [[nodiscard]] QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QAccessibleInterface *header = accessibleCell(m_view, -1, m_column);
        return header ? QList<QAccessibleInterface *> {header} : QList<QAccessibleInterface *> {};
    }
    [[nodiscard]] QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    [[nodiscard]] int columnIndex() const override
    {
        const std::vector<int> shown = shownColumns(m_view);
        const auto at = std::find(shown.begin(), shown.end(), m_column);
        return at == shown.end() ? -1 : static_cast<int>(at - shown.begin());
    }
    [[nodiscard]] int rowIndex() const override { return m_row; }
    [[nodiscard]] int columnExtent() const override { return 1; }
    [[nodiscard]] int rowExtent() const override { return 1; }
    [[nodiscard]] QAccessibleInterface *table() const override { return parent(); }

    // QAccessibleActionInterface: the tick. Orca speaks the checked state
    // of a cell that has a "toggle" action (Qt's own name is "Toggle").
    [[nodiscard]] QStringList actionNames() const override { return {kToggle}; }
    [[nodiscard]] QString localizedActionName(const QString &name) const override { return name; }
    [[nodiscard]] QString localizedActionDescription(const QString &name) const override
    {
        return name == kToggle ? QStringLiteral("Tick or untick the row") : QString();
    }
    void doAction(const QString &name) override
    {
        if (name != kToggle || !isValid())
            return;
        const bool ticked = index().data(Qt::CheckStateRole).toInt() == Qt::Checked;
        m_view->model()->setData(index(), ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    [[nodiscard]] QStringList keyBindingsForAction(const QString &name) const override
    {
        return name == kToggle ? QStringList {QStringLiteral("Space")} : QStringList {};
    }

    [[nodiscard]] int row() const { return m_row; }
    [[nodiscard]] int column() const { return m_column; }

private:
    [[nodiscard]] QModelIndex index() const { return m_view->model()->index(m_row, m_column); }

    QPointer<QTreeView> m_view;
    int m_row;
    int m_column;
};

class ListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ListAccessible(QTreeView *view)
        : QAccessibleWidget(view, QAccessible::Table)
    {
    }
    ~ListAccessible() override { forgetCells(); }

    [[nodiscard]] QTreeView *view() const { return static_cast<QTreeView *>(widget()); }

    // One interface for each cell asked for, until the rows or the shown
    // columns change.
    QAccessibleInterface *cell(int row, int column)
    {
        if (row < -1 || row >= rowCount() || column < 0 || column >= view()->model()->columnCount())
            return nullptr;
        const qint64 key = (qint64(row + 1) << 32) | quint32(column);
        if (const auto found = m_cells.constFind(key); found != m_cells.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto *made = new CellAccessible(view(), row, column);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    void forgetCells()
    {
        for (const QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    [[nodiscard]] QString text(QAccessible::Text which) const override
    {
        if (which == QAccessible::Name)
            return kName;
        if (which != QAccessible::Description)
            return QAccessibleWidget::text(which);
        int ticked = 0;
        const QAbstractItemModel *model = view()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            ticked += model->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return QStringLiteral("%1 contacts, %2 ticked. Space ticks or unticks the selected rows, which the text file, "
                              "Excel and clipboard exports take. Delete removes the current row. Shift+F10 opens the "
                              "menu to tick all or to save the ticked contacts with every field as a vCard or CSV "
                              "file. F2 shows the whole text of the current cell.")
            .arg(model->rowCount())
            .arg(ticked);
    }

    [[nodiscard]] int childCount() const override
    {
        return static_cast<int>(shownColumns(view()).size()) * (rowCount() + 1);
    }
    [[nodiscard]] QAccessibleInterface *child(int index) const override
    {
        const std::vector<int> shown = shownColumns(view());
        if (shown.empty() || index < 0)
            return nullptr;
        const int columns = static_cast<int>(shown.size());
        return const_cast<ListAccessible *>(this)->cell(index / columns - 1, shown[size_t(index % columns)]);
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *cell = dynamic_cast<const CellAccessible *>(child);
        if (!cell)
            return -1;
        const int column = cell->columnIndex();
        const int columns = static_cast<int>(shownColumns(view()).size());
        return column < 0 ? -1 : (cell->row() + 1) * columns + column;
    }
    [[nodiscard]] QAccessibleInterface *childAt(int x, int y) const override
    {
        auto *self = const_cast<ListAccessible *>(this);
        const QHeaderView *header = view()->header();
        const QPoint inHeader = header->viewport()->mapFromGlobal(QPoint(x, y));
        if (header->viewport()->rect().contains(inHeader))
            return self->cell(-1, header->logicalIndexAt(inHeader));
        const QModelIndex at = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? self->cell(at.row(), at.column()) : nullptr;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // QAccessibleTableInterface; columns count the shown ones only.
    [[nodiscard]] QAccessibleInterface *caption() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface *summary() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface *cellAt(int row, int column) const override
    {
        const std::vector<int> shown = shownColumns(view());
        if (column < 0 || column >= static_cast<int>(shown.size()))
            return nullptr;
        return const_cast<ListAccessible *>(this)->cell(row, shown[size_t(column)]);
    }
    [[nodiscard]] int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    [[nodiscard]] QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> cells;
        for (int row : selectedRows()) {
            for (int column = 0; column < columnCount(); ++column)
                cells << cellAt(row, column);
        }
        return cells;
    }
    [[nodiscard]] QString columnDescription(int column) const override
    {
        const QAccessibleInterface *header = cellAt(-1, column);
        return header ? header->text(QAccessible::Name) : QString();
    }
    [[nodiscard]] QString rowDescription(int) const override { return {}; }
    [[nodiscard]] int selectedColumnCount() const override { return 0; }
    [[nodiscard]] int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    [[nodiscard]] int columnCount() const override { return static_cast<int>(shownColumns(view()).size()); }
    [[nodiscard]] int rowCount() const override { return view()->model()->rowCount(); }
    [[nodiscard]] QList<int> selectedColumns() const override { return {}; }
    [[nodiscard]] QList<int> selectedRows() const override
    {
        QList<int> rows;
        for (const QModelIndex &index : view()->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    [[nodiscard]] bool isColumnSelected(int) const override { return false; }
    [[nodiscard]] bool isRowSelected(int row) const override
    {
        return view()->selectionModel()->isRowSelected(row, QModelIndex());
    }
    bool selectRow(int row) override { return changeRow(row, QItemSelectionModel::Select); }
    bool unselectRow(int row) override { return changeRow(row, QItemSelectionModel::Deselect); }
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override
    {
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            forgetCells();
    }

private:
    bool changeRow(int row, QItemSelectionModel::SelectionFlags how)
    {
        const QModelIndex index = view()->model()->index(row, 0);
        if (!index.isValid())
            return false;
        view()->selectionModel()->select(index, how | QItemSelectionModel::Rows);
        return true;
    }

    QHash<qint64, QAccessible::Id> m_cells;
};

QAccessibleInterface *makeAccessible(const QString &, QObject *object)
{
    // Only the result list; any other tree view keeps Qt's interface.
    if (object && object->inherits("quarrelby::ResultView"))
        return new ListAccessible(static_cast<QTreeView *>(object));
    // The main window is a plain widget, which Qt presents as a filler;
    // screen readers look for a frame to name the window.
    if (object && object->isWidgetType() && object->inherits("quarrelby::MainWindow"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void installAccessibleList()
{
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(makeAccessible);
    installed = true;
}

QAccessibleInterface *accessibleCell(QTreeView *view, int row, int column)
{
    auto *list = dynamic_cast<ListAccessible *>(QAccessible::queryAccessibleInterface(view));
    return list ? list->cell(row, column) : nullptr;
}

void forgetAccessibleCells(QTreeView *view)
{
    if (auto *list = dynamic_cast<ListAccessible *>(QAccessible::queryAccessibleInterface(view)))
        list->forgetCells();
}

} // namespace quarrelby
