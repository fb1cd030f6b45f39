#include "core/ResultList.h"

#include "platform/Failure.h"

#include <algorithm>

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
    m_columns.push_back({text, 0});
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

void ResultList::checkColumn(int k) const
{
    if (k < 1 || k > headerCount())
        throw outOfBounds();
}

void ResultList::checkRow(int i) const
{
    if (i < 1 || i > itemCount())
        throw outOfBounds();
}

const QString &ResultList::columnText(int k) const
{
    checkColumn(k);
    return m_columns[static_cast<size_t>(k - 1)].text;
}

float ResultList::columnWidth(int k) const
{
    checkColumn(k);
    return m_columns[static_cast<size_t>(k - 1)].width;
}

void ResultList::setColumnWidth(int k, float twips)
{
    checkColumn(k);
    Column &column = m_columns[static_cast<size_t>(k - 1)];
    if (column.width == twips)
        return;
    column.width = twips;
    emit columnWidthChanged(k, twips);
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
    return itemCount();
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

void ResultList::cellChanged(int i, int k, int role)
{
    if (i > m_shownRows || k < 1 || k > headerCount())
        return;
    const QModelIndex at = index(i - 1, k - 1);
    emit dataChanged(at, at, {role});
}

void ResultList::setCell(int i, int k, QStringView text)
{
    checkRow(i);
    checkColumn(k);
    Row &row = m_rows[static_cast<size_t>(i - 1)];
    const auto column = static_cast<size_t>(k - 1);
    const quint32 start = column == 0 ? 0 : row.ends[column - 1];
    const quint32 end = row.ends[column];
    const auto newEnd = static_cast<quint32>(start + text.size());
    const size_t columns = m_columns.size();
    if (start == end && end == row.length) {
        // Cells are mostly set in order, into the empty end of the row: every
        // cell after this one is empty and ends where this one does.
        appendToRow(row, text);
        std::fill(row.ends + column, row.ends + columns, newEnd);
    } else {
        // The row is written anew; its old text stays unused in the arena.
        const size_t length = row.length - (end - start) + static_cast<size_t>(text.size());
        char16_t *piece = m_texts.take(length);
        std::copy_n(row.text, start, piece);
        std::copy_n(text.utf16(), text.size(), piece + start);
        std::copy(row.text + end, row.text + row.length, piece + newEnd);
        closeRow(row);
        row.text = piece;
        row.length = static_cast<quint32>(length);
        for (size_t c = column; c < columns; ++c)
            row.ends[c] = row.ends[c] - end + newEnd;
    }
    cellChanged(i, k, Qt::DisplayRole);
}

void ResultList::setSubItem(int i, int j, QStringView text)
{
    if (j < 1)
        throw outOfBounds();
    setCell(i, j + 1, text);
}

QString ResultList::subItem(int i, int j) const
{
    if (j < 1)
        throw outOfBounds();
    return cell(i, j + 1);
}

QStringView ResultList::cellView(int i, int k) const
{
    checkRow(i);
    const Row &row = m_rows[static_cast<size_t>(i - 1)];
    // A row always has a cell for the first column, as the list control does,
    // even in a list without columns.
    if (k == 1 && !row.ends)
        return {};
    checkColumn(k);
    const auto column = static_cast<size_t>(k - 1);
    const quint32 start = column == 0 ? 0 : row.ends[column - 1];
    return QStringView(row.text + start, row.ends[column] - start);
}

bool ResultList::checked(int i) const
{
    checkRow(i);
    return m_rows[static_cast<size_t>(i - 1)].checked;
}

void ResultList::setChecked(int i, bool checked)
{
    checkRow(i);
    m_rows[static_cast<size_t>(i - 1)].checked = checked;
    cellChanged(i, 1, Qt::CheckStateRole);
}

void ResultList::setCheckedRange(int first, int last, bool checked)
{
    if (first > last)
        return;
    checkRow(first);
    checkRow(last);
    for (int i = first; i <= last; ++i)
        m_rows[static_cast<size_t>(i - 1)].checked = checked;
    const int shownLast = std::min(last, m_shownRows);
    if (first <= shownLast)
        emit dataChanged(index(first - 1, 0), index(shownLast - 1, 0), {Qt::CheckStateRole});
}

void ResultList::removeRow(int i)
{
    checkRow(i);
    ++m_rowsRevision;
    const bool shown = i <= m_shownRows;
    if (shown)
        beginRemoveRows({}, i - 1, i - 1);
    m_rows.erase(m_rows.begin() + (i - 1));
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
    const int i = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return displayed(cellView(i, index.column() + 1));
    case Qt::ToolTipRole:
    case Qt::EditRole:
        return cell(i, index.column() + 1);
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
