#include "Golden.h"

#include <QFile>

#include <algorithm>

namespace quarrelby::test {

namespace {

QString shown(const QByteArray &line)
{
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(line.toPercentEncoding(" !#$&'()*+,/:;=?@[]{}<>|^~`\"\\")));
}

QString goldenPath(const QString &relativePath)
{
    return QStringLiteral(QUARRELBY_SOURCE_DIR "/tests/data/") + relativePath;
}

} // namespace

QString firstDifference(const QByteArray &actual, const QByteArray &expected)
{
    if (actual == expected)
        return {};
    // Lines end after each LF, which stays with its line, so a difference in
    // the line ending (CR LF against LF) shows on its line too.
    qsizetype a = 0;
    qsizetype e = 0;
    for (int line = 1;; ++line) {
        const qsizetype aEnd = actual.indexOf('\n', a);
        const qsizetype eEnd = expected.indexOf('\n', e);
        const QByteArray aLine = actual.mid(a, aEnd < 0 ? -1 : aEnd + 1 - a);
        const QByteArray eLine = expected.mid(e, eEnd < 0 ? -1 : eEnd + 1 - e);
        if (aLine != eLine) {
            if (a >= actual.size())
                return QStringLiteral("line %1: missing, expected %2").arg(line).arg(shown(eLine));
            if (e >= expected.size())
                return QStringLiteral("line %1: got %2, expected the end").arg(line).arg(shown(aLine));
            return QStringLiteral("line %1: got %2, expected %3").arg(line).arg(shown(aLine), shown(eLine));
        }
        a = aEnd + 1;
        e = eEnd + 1;
    }
}

QByteArray goldenFile(const QString &relativePath)
{
    QFile file(goldenPath(relativePath));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("cannot read %s: %s", qPrintable(file.fileName()), qPrintable(file.errorString()));
        return {};
    }
    return file.readAll();
}

void updateGoldenFileIfAsked(const QString &relativePath, const QByteArray &actual)
{
    if (qEnvironmentVariableIntValue("QUARRELBY_UPDATE_GOLDEN") != 1)
        return;
    QFile file(goldenPath(relativePath));
    if (!file.open(QIODevice::WriteOnly) || file.write(actual) != actual.size())
        qWarning("cannot write %s: %s", qPrintable(file.fileName()), qPrintable(file.errorString()));
}

} // namespace quarrelby::test
