#include "core/ResultList.h"

#include "platform/Failure.h"

#include <algorithm>
#include <limits>

namespace quarrelby {

namespace {
Failure outOfBounds()
{
    return Failure(QStringLiteral("Index out of bounds"));
}

// Single-line display of a multi-line cell; the cell itself keeps its breaks.
QString displayed(QStringView text)
{
    QString shown = text.toString();
    shown.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    shown.replace(QLatin1Char('\r'), QLatin1String(" | "));
    shown.replace(QLatin1Char('\n'), QLatin1String(" | "));
    return shown;
}
} // namespace

void ResultList::addColumn(const QString &text)
{
    const int k = headerCount();
    beginInsertColumns({}, k, k);
    m_columns.push_back({text, false});
    // Rarely with rows in the list: each gets a longer set of ends.
    const size_t columns = m_columns.size();
    for (Row &row : m_rows) {
        auto *ends = reinterpret_cast<quint32 *>(m_texts.take(2 * columns));
        std::copy(row.ends, row.ends + (columns - 1), ends);
        ends[columns - 1] = row.length;
        row.ends = ends;
    }
    endInsertColumns();
}

void ResultList::checkColumn(int column) const
{
    if (column < 0 || column >= headerCount())
        throw outOfBounds();
}

void ResultList::checkRow(int row) const
{
    if (row < 0 || row >= itemCount())
        throw outOfBounds();
}

const QString &ResultList::columnText(int column) const
{
    checkColumn(column);
    return m_columns[static_cast<size_t>(column)].text;
}

bool ResultList::columnHidden(int column) const
{
    checkColumn(column);
    return m_columns[static_cast<size_t>(column)].hidden;
}

void ResultList::setColumnHidden(int column, bool hidden)
{
    checkColumn(column);
    m_columns[static_cast<size_t>(column)].hidden = hidden;
    emit columnHiddenSet(column, hidden);
}

void ResultList::clearRows()
{
    // Also when empty: an extraction starts here and fills the list anew.
    ++m_rowsRevision;
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_texts.clear();
    m_uids.clear();
    m_uids.shrink_to_fit();
    m_filledLength = 0;
    m_filledRows = 0;
    m_shownRows = 0;
    endResetModel();
}

int ResultList::addRow(const QString &text)
{
    // The row before is complete (rows are filled in order): give back the
    // room it did not use.
    if (!m_rows.empty()) {
        closeRow(m_rows.back());
        m_filledLength += m_rows.back().length;
        ++m_filledRows;
    }
    Row row;
    if (const size_t columns = m_columns.size(); columns > 0) {
        row.ends = reinterpret_cast<quint32 *>(m_texts.take(2 * columns));
        // Room for a row a little longer than the rows so far: most rows
        // then grow without moving.
        const qsizetype typical = m_filledRows > 0 ? m_filledLength / m_filledRows : 192;
        const auto room = static_cast<size_t>(std::max<qsizetype>(text.size(), typical + typical / 4 + 32));
        char16_t *piece = m_texts.take(room);
        std::copy_n(text.utf16(), text.size(), piece);
        row.text = piece;
        row.length = static_cast<quint32>(text.size());
        row.room = static_cast<quint32>(room - row.length);
        std::fill_n(row.ends, columns, row.length);
    }
    m_rows.push_back(row);
    if (m_batchDepth == 0)
        announceRows();
    return itemCount() - 1;
}

void ResultList::closeRow(Row &row)
{
    m_texts.shrink(row.text + row.length + row.room, row.room);
    row.room = 0;
}

void ResultList::appendToRow(Row &row, QStringView text)
{
    const auto units = static_cast<size_t>(text.size());
    if (units > row.room) {
        const size_t more = std::max<size_t>(units - row.room, row.length / 2 + 64);
        if (m_texts.extend(row.text + row.length + row.room, more)) {
            row.room += static_cast<quint32>(more);
        } else {
            const size_t room = row.length + units + more;
            char16_t *piece = m_texts.take(room);
            std::copy_n(row.text, row.length, piece);
            row.text = piece;
            row.room = static_cast<quint32>(room - row.length);
        }
    }
    std::copy_n(text.utf16(), units, const_cast<char16_t *>(row.text) + row.length);
    row.length += static_cast<quint32>(units);
    row.room -= static_cast<quint32>(units);
}

void ResultList::announceRows()
{
    const int count = itemCount();
    if (count <= m_shownRows)
        return;
    beginInsertRows({}, m_shownRows, count - 1);
    m_shownRows = count;
    endInsertRows();
}

void ResultList::cellChanged(int row, int column, int role)
{
    if (row >= m_shownRows || column < 0 || column >= headerCount())
        return;
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {role});
}

void ResultList::setCell(int row, int column, QStringView text)
{
    checkRow(row);
    checkColumn(column);
    Row &r = m_rows[static_cast<size_t>(row)];
    const auto c = static_cast<size_t>(column);
    const quint32 start = c == 0 ? 0 : r.ends[c - 1];
    const quint32 end = r.ends[c];
    const auto newEnd = static_cast<quint32>(start + text.size());
    const size_t columns = m_columns.size();
    if (start == end && end == r.length) {
        // Cells are mostly set in order, into the empty end of the row: every
        // cell after this one is empty and ends where this one does.
        appendToRow(r, text);
        std::fill(r.ends + c, r.ends + columns, newEnd);
    } else {
        // The row is written anew; its old text stays unused in the arena.
        const size_t length = r.length - (end - start) + static_cast<size_t>(text.size());
        char16_t *piece = m_texts.take(length);
        std::copy_n(r.text, start, piece);
        std::copy_n(text.utf16(), text.size(), piece + start);
        std::copy(r.text + end, r.text + r.length, piece + newEnd);
        closeRow(r);
        r.text = piece;
        r.length = static_cast<quint32>(length);
        for (size_t k = c; k < columns; ++k)
            r.ends[k] = r.ends[k] - end + newEnd;
    }
    cellChanged(row, column, Qt::DisplayRole);
}

QStringView ResultList::cellView(int row, int column) const
{
    checkRow(row);
    const Row &r = m_rows[static_cast<size_t>(row)];
    // A row always has a first cell, as the list control does, even in a
    // list without columns.
    if (column == 0 && !r.ends)
        return {};
    checkColumn(column);
    const auto c = static_cast<size_t>(column);
    const quint32 start = c == 0 ? 0 : r.ends[c - 1];
    return QStringView(r.text + start, r.ends[c] - start);
}

void ResultList::setUid(int row, std::string_view uid)
{
    checkRow(row);
    Row &r = m_rows[static_cast<size_t>(row)];
    // Past 4 GiB of uids a row keeps none, and is then found by its cells.
    if (uid.size() > std::numeric_limits<quint32>::max() - m_uids.size()) {
        r.uidLength = 0;
        return;
    }
    r.uidBegin = static_cast<quint32>(m_uids.size());
    r.uidLength = static_cast<quint32>(uid.size());
    m_uids.append(uid);
}

std::string_view ResultList::uid(int row) const
{
    checkRow(row);
    const Row &r = m_rows[static_cast<size_t>(row)];
    return std::string_view(m_uids).substr(r.uidBegin, r.uidLength);
}

bool ResultList::checked(int row) const
{
    checkRow(row);
    return m_rows[static_cast<size_t>(row)].checked;
}

void ResultList::setChecked(int row, bool checked)
{
    checkRow(row);
    m_rows[static_cast<size_t>(row)].checked = checked;
    cellChanged(row, 0, Qt::CheckStateRole);
}

void ResultList::setCheckedRange(int first, int last, bool checked)
{
    if (first > last)
        return;
    checkRow(first);
    checkRow(last);
    for (int row = first; row <= last; ++row)
        m_rows[static_cast<size_t>(row)].checked = checked;
    const int shownLast = std::min(last, m_shownRows - 1);
    if (first <= shownLast)
        emit dataChanged(index(first, 0), index(shownLast, 0), {Qt::CheckStateRole});
}

void ResultList::removeRow(int row)
{
    checkRow(row);
    ++m_rowsRevision;
    const bool shown = row < m_shownRows;
    if (shown)
        beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    if (shown) {
        --m_shownRows;
        endRemoveRows();
    }
}

ResultList::Batch::Batch(ResultList &list)
    : m_list(list)
{
    ++m_list.m_batchDepth;
}

ResultList::Batch::~Batch()
{
    if (--m_list.m_batchDepth == 0)
        m_list.announceRows();
}

QVariant ResultList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayed(cellView(index.row(), index.column()));
    case Qt::ToolTipRole:
    case Qt::EditRole:
        return cell(index.row(), index.column());
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return m_rows[static_cast<size_t>(index.row())].checked ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool ResultList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != 0
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    m_rows[static_cast<size_t>(index.row())].checked = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant ResultList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= headerCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_columns[static_cast<size_t>(section)].text;
    return {};
}

Qt::ItemFlags ResultList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace quarrelby
