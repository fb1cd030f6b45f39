#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringView>

#include "core/TextArena.h"

#include <string>
#include <string_view>
#include <vector>

namespace quarrelby {

// The one store of results, and the model of the list on the window. Rows
// and columns count from 0, as the model's indexes do; an index out of range
// throws Failure, since exports yield and the list may change under them.
class ResultList : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void addColumn(const QString &text);
    [[nodiscard]] int headerCount() const { return static_cast<int>(m_columns.size()); }
    [[nodiscard]] const QString &columnText(int column) const;
    // Whether the list view hides the column. The extraction sets every
    // column from its field's box at each click, and columnHiddenSet follows
    // every call, changed or not: the view then lays the column out anew, a
    // shown one at its standard width over any width the user dragged.
    [[nodiscard]] bool columnHidden(int column) const;
    void setColumnHidden(int column, bool hidden);

    [[nodiscard]] int itemCount() const { return static_cast<int>(m_rows.size()); }
    void clearRows();
    // Appends a row with the text of its first cell; returns its index.
    int addRow(const QString &text);
    void setCell(int row, int column, QStringView text);
    [[nodiscard]] QString cell(int row, int column) const { return cellView(row, column).toString(); }
    // The same without a copy: valid until the list changes, so use it
    // before yielding.
    [[nodiscard]] QStringView cellView(int row, int column) const;
    [[nodiscard]] bool checked(int row) const;
    void setChecked(int row, bool checked);
    // Ticks or unticks rows first to last (inclusive), telling the views once.
    void setCheckedRange(int first, int last, bool checked);
    void removeRow(int row);
    // The uid of the contact the row shows (its vCard UID, or its book's own
    // id of it; empty when it has none): what finds the row's contact whole
    // when its books are read again.
    void setUid(int row, std::string_view uid);
    [[nodiscard]] std::string_view uid(int row) const;
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
    void columnHiddenSet(int column, bool hidden);

private:
    struct Column {
        QString text;
        bool hidden = false;
    };
    // A row's cells lie one after the other in one piece of the arena, its
    // cell ends in another: a large list costs no allocation a row.
    struct Row {
        // ends[c]: where the cell of column c ends in text.
        quint32 *ends = nullptr;
        const char16_t *text = nullptr;
        quint32 length = 0;
        // Units after the text that the row may still grow into (the row
        // being filled has some).
        quint32 room = 0;
        // The uid's place in m_uids.
        quint32 uidBegin = 0;
        quint32 uidLength = 0;
        bool checked = false;
    };

    void announceRows();
    void cellChanged(int row, int column, int role);
    void appendToRow(Row &row, QStringView text);
    // Gives the row's room back to the arena.
    void closeRow(Row &row);
    void checkColumn(int column) const;
    void checkRow(int row) const;

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    TextArena m_texts;
    // Every row's uid, back to back: no allocation a row.
    std::string m_uids;
    int m_batchDepth = 0;
    // Rows the views know of; less than m_rows.size() only inside a batch.
    int m_shownRows = 0;
    quint64 m_rowsRevision = 0;
    // The length of the rows added so far, for the room a new row reserves.
    qsizetype m_filledLength = 0;
    qsizetype m_filledRows = 0;
};

} // namespace quarrelby
