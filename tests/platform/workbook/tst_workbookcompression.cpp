// The workbook's parts are packed at zlib's fastest level, not libxlsxwriter's
// default. The level is set by interposing minizip's zipOpenNewFileInZip4_64,
// which takes effect only while libxlsxwriter calls a shared minizip; this
// test fails when a build or a library update makes the override a no-op.
#include "platform/workbook/XlsxWriter.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace quarrelby;

namespace {

quint32 le(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(bytes.at(at + i));
    return value;
}

// The deflate option of every deflated member, by name, from the central
// directory: bits 1 and 2 of the general purpose flags, which minizip sets
// from the level it was given (0 for the default level, 3 for level 1).
QMap<QString, int> deflateOptions(const QByteArray &zip)
{
    QMap<QString, int> options;
    const qsizetype end = zip.lastIndexOf(QByteArrayView("PK\x05\x06"));
    if (end < 0 || end + 22 > zip.size())
        return options;
    const quint32 count = le(zip, end + 10, 2);
    qsizetype at = le(zip, end + 16, 4);
    for (quint32 i = 0; i < count && at + 46 <= zip.size() && zip.mid(at, 4) == "PK\x01\x02"; ++i) {
        const quint32 nameLength = le(zip, at + 28, 2);
        if (le(zip, at + 10, 2) == 8) // deflated
            options.insert(QString::fromUtf8(zip.mid(at + 46, nameLength)), int(le(zip, at + 8, 2) >> 1 & 3));
        at += 46 + nameLength + le(zip, at + 30, 2) + le(zip, at + 32, 2);
    }
    return options;
}

} // namespace

class TestWorkbookCompression : public QObject {
    Q_OBJECT

private slots:
    void partsPackedAtFastestLevel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Book1.xlsx"));
        WorkbookFile sheet(path);
        for (int r = 1; r <= 200; ++r) {
            sheet.setCell(r, 1, QStringLiteral("Name %1").arg(r));
            sheet.setCell(r, 2, QStringLiteral("+46 8 555 %1").arg(r));
        }
        sheet.finish();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));

        const QMap<QString, int> options = deflateOptions(file.readAll());
        QVERIFY2(options.contains(QStringLiteral("xl/worksheets/sheet1.xml")), qPrintable(options.keys().join(u' ')));
        for (auto it = options.cbegin(); it != options.cend(); ++it)
            QVERIFY2(
                it.value() == 3, qPrintable(QStringLiteral("%1 packed with option %2").arg(it.key()).arg(it.value())));
    }
};

QTEST_GUILESS_MAIN(TestWorkbookCompression)
#include "tst_workbookcompression.moc"
