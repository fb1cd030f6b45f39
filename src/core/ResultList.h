#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringView>

#include "core/TextArena.h"

#include <vector>

namespace quarrelby {

// The one store of results, and the model of the list on the window. Columns
// k and rows i count from 1; an index out of range throws Failure, since
// exports yield and the list may change under them.
class ResultList : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void addColumn(const QString &text);
    [[nodiscard]] int headerCount() const { return static_cast<int>(m_columns.size()); }
    [[nodiscard]] const QString &columnText(int k) const;
    [[nodiscard]] float columnWidth(int k) const;
    void setColumnWidth(int k, float twips);

    [[nodiscard]] int itemCount() const { return static_cast<int>(m_rows.size()); }
    void clearRows();
    // Appends a row with the text of column 1; returns its index.
    int addRow(const QString &text);
    void setSubItem(int i, int j, QStringView text);
    // Sets the cell of row i, column k (k = 1 is the row's own text).
    void setCell(int i, int k, QStringView text);
    [[nodiscard]] QString text(int i) const { return cell(i, 1); }
    [[nodiscard]] QString subItem(int i, int j) const;
    // Cell of row i, column k: the text for k = 1, SubItems(k - 1) otherwise.
    [[nodiscard]] QString cell(int i, int k) const { return cellView(i, k).toString(); }
    // The same without a copy: valid until the list changes, so use it
    // before yielding.
    [[nodiscard]] QStringView cellView(int i, int k) const;
    [[nodiscard]] bool checked(int i) const;
    void setChecked(int i, bool checked);
    // Ticks or unticks rows first to last (1-based, inclusive), telling the
    // views once.
    void setCheckedRange(int first, int last, bool checked);
    void removeRow(int i);
    // Counts the changes that remove or replace rows (Clear List, a new
    // extraction, a removed row). A reader that yields compares it before and
    // after, since the row it would read next may no longer be the one it
    // meant.
    [[nodiscard]] quint64 rowsRevision() const { return m_rowsRevision; }

    // While a batch is open, appended rows are announced to the views only
    // when the batch closes (or the list is cleared), in one insertion.
    // Extraction of a large address book would otherwise spend its time in
    // view bookkeeping. The views always see a consistent model, also when a
    // message box runs the event loop in the middle of a batch.
    class Batch {
    public:
        explicit Batch(ResultList &list);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        ResultList &m_list;
    };

    // QAbstractItemModel: what the views see (rows announced so far).
    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_shownRows;
    }
    [[nodiscard]] int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : headerCount();
    }
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    [[nodiscard]] QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // Column k (1-based) has a new width in twips.
    void columnWidthChanged(int k, float twips);

private:
    struct Column {
        QString text;
        float width = 0;
    };
    // A row's cells lie one after the other in one piece of the arena, its
    // cell ends in another: a large list costs no allocation a row.
    struct Row {
        // ends[k - 1]: where cell k ends in text; one for every column.
        quint32 *ends = nullptr;
        const char16_t *text = nullptr;
        quint32 length = 0;
        // Units after the text that the row may still grow into (the row
        // being filled has some).
        quint32 room = 0;
        bool checked = false;
    };

    void announceRows();
    void cellChanged(int i, int k, int role);
    void appendToRow(Row &row, QStringView text);
    // Gives the row's room back to the arena.
    void closeRow(Row &row);
    void checkColumn(int k) const;
    void checkRow(int i) const;

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    TextArena m_texts;
    int m_batchDepth = 0;
    // Rows the views know of; less than m_rows.size() only inside a batch.
    int m_shownRows = 0;
    quint64 m_rowsRevision = 0;
    // The length of the rows added so far, for the room a new row reserves.
    qsizetype m_filledLength = 0;
    qsizetype m_filledRows = 0;
};

} // namespace quarrelby
