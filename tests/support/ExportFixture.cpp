#include "ExportFixture.h"

#include "FailDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

namespace quarrelby::test {

void fillList(ResultList &list, const QStringList &headers, const QList<QStringList> &rows)
{
    for (const QString &header : headers)
        list.addColumn(header);
    for (const QStringList &row : rows) {
        const int i = list.addRow(row.value(1));
        for (qsizetype c = 1; c + 1 < row.size(); ++c)
            list.setCell(i, static_cast<int>(c), row[c + 1]);
        list.setChecked(i, row.value(0) == QLatin1String("x"));
    }
}

QList<QStringList> variedRows(int count, int columns)
{
    const QString pieces[] = {QStringLiteral("Ann"), QStringLiteral("Lee, Ann"), QStringLiteral("said \"hi\""),
        QStringLiteral("1 Main St\r\nAustin"), QStringLiteral("Zo\u00eb"), QStringLiteral("\u5c71\u7530"),
        QStringLiteral("\U0001F600"), QString(QChar(0xd83d)), QString(QChar(0xde00)), QStringLiteral("  "),
        QStringLiteral("a\tb"), QStringLiteral("555-0101"), QStringLiteral("x\ry\n"), QString()};
    const auto pieceCount = static_cast<quint32>(std::size(pieces));
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    QList<QStringList> rows;
    rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        QStringList row {next() % 5 == 0 ? QString() : QStringLiteral("x")};
        for (int k = 0; k < columns; ++k) {
            QString cell;
            for (quint32 n = next() % 4; n > 0; --n)
                cell += pieces[next() % pieceCount];
            row.append(cell);
        }
        rows.append(row);
    }
    return rows;
}

QList<qsizetype> widestCells(const QStringList &headers, const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (qsizetype k = 0; k < headers.size(); ++k) {
        qsizetype width = headers[k].size();
        for (const QStringList &row : rows)
            width = std::max(width, row.value(k + 1).size());
        widths.append(width);
    }
    return widths;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

ExportHarness::ExportHarness()
    : context {shell, list, busy, [](int) { return 1; }}
{
    shell.realFileSystem = true;
    useFileWriter({});
    QObject::connect(&busy, &BusyState::changed, [this](bool busyNow) {
        busyHistory.append({busyNow, shell.messages.size()});
    });
}

void ExportHarness::useFileWriter(SaveFileWriter::DeviceFilter filter)
{
    files = std::make_unique<SaveFileWriter>(shell, std::move(filter));
}

QString arrangeFailedSave(ExportHarness &h, const QString &how, int limit, const QString &path)
{
    if (how == QLatin1String("device")) {
        h.useFileWriter([limit](QIODevice &file) { return std::make_unique<FailDevice>(file, limit); });
        return path;
    }
    if (how == QLatin1String("full")) {
        h.useFileWriter([](QIODevice &) { return std::make_unique<FullDevice>(); });
        return path;
    }
    if (how == QLatin1String("clear")) {
        h.shell.onYield = [&h, limit](int n) {
            if (n == limit)
                h.list.clearRows();
        };
        return path;
    }
    return path + QStringLiteral("/inside") + path.mid(path.lastIndexOf(QLatin1Char('.')));
}

} // namespace quarrelby::test
