#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>

namespace quarrelby::test {

// Where the first difference between two texts lies: "line 3: got "...",
// expected "..."" with both lines shown percent-encoded (CR, LF, TAB and
// bytes that are not UTF-8 made visible), or an empty string when the texts
// are equal byte for byte.
[[nodiscard]] QString firstDifference(const QByteArray &actual, const QByteArray &expected);

// The file under tests/data/, or an empty array with a warning when it
// cannot be read.
[[nodiscard]] QByteArray goldenFile(const QString &relativePath);

// With QUARRELBY_UPDATE_GOLDEN=1 in the environment the golden file is
// rewritten with the actual bytes instead (review the diff before
// committing it).
void updateGoldenFileIfAsked(const QString &relativePath, const QByteArray &actual);

} // namespace quarrelby::test

// Fails the test, naming the first differing line, unless actual equals
// expected byte for byte.
#define QUARRELBY_COMPARE_TEXT(actual, expected)                                                                       \
    do {                                                                                                               \
        const QString difference_ = quarrelby::test::firstDifference((actual), (expected));                            \
        if (!difference_.isEmpty())                                                                                    \
            QFAIL(qPrintable(difference_));                                                                            \
    } while (false)

// Compares with a golden file under tests/data/, byte for byte.
#define QUARRELBY_COMPARE_GOLDEN(actual, relativePath)                                                                 \
    do {                                                                                                               \
        quarrelby::test::updateGoldenFileIfAsked((relativePath), (actual));                                            \
        const QByteArray golden_ = quarrelby::test::goldenFile(relativePath);                                          \
        QVERIFY2(!golden_.isEmpty(), qPrintable(QStringLiteral("no golden file tests/data/") + (relativePath)));       \
        const QString difference_ = quarrelby::test::firstDifference((actual), golden_);                               \
        if (!difference_.isEmpty())                                                                                    \
            QFAIL(qPrintable(QStringLiteral("tests/data/") + (relativePath) + QStringLiteral(", ") + difference_));    \
    } while (false)
