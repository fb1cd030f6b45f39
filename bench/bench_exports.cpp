// The three text exports over 100,000 listed contacts: the text file, the
// comma-delimited file (both through the real file-system object onto disk)
// and the clipboard text. Each runs with a scripted shell whose yield is a
// counter (arg 0) and with the program's time-sliced QtShell (arg 1).
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "app/ResultList.h"
#include "export/Clipboard.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"
#include "outlook/FieldCatalogue.h"
#include "platform/Automation.h"
#include "platform/FileSystemObject.h"
#include "platform/QtShell.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget> // QtShell keeps a QPointer<QWidget>

#include <benchmark/benchmark.h>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

constexpr int kContacts = 100000;

const QStringList kGiven = {QStringLiteral("Åsa"), QStringLiteral("José"), QStringLiteral("Zoë"),
    QStringLiteral("Mary"), QStringLiteral("Łukasz"), QStringLiteral("Hiroshi"), QStringLiteral("Siobhán")};
const QStringList kFamily = {QStringLiteral("Lindqvist"), QStringLiteral("Núñez"), QStringLiteral("O'Brien"),
    QStringLiteral("Müller-Lüdenscheidt"), QStringLiteral("Smith"), QStringLiteral("山田"), QStringLiteral("Dvořák")};
const QStringList kNotes = {QString(), QStringLiteral("Met at the fair, 2019; likes \"Earl Grey\"."),
    QStringLiteral("Call after 5pm.\r\nPrefers e-mail, not phone."), QString(),
    QStringLiteral("Referred by J. Smith, Jr. — \"ask about the Q3 order\"")};

QString phone(int n, int salt)
{
    return QStringLiteral("+1 (512) 555-%1").arg((n * 7 + salt * 131) % 10000, 4, 10, QLatin1Char('0'));
}

// Cells as an address book gives them: most phone fields empty, a few
// numbers per contact, multi-line addresses, some notes with commas, quotes
// and line breaks.
QStringList contactCells(int n)
{
    QStringList cells(kFieldCount);
    const QString given = kGiven[n % kGiven.size()];
    const QString family = kFamily[(n / 7) % kFamily.size()];
    cells[0] = given + QLatin1Char(' ') + family;
    if (n % 3 == 0)
        cells[1] = QStringLiteral("%1-%2-%3 00:00:00")
                       .arg(1950 + n % 60)
                       .arg(1 + n % 12, 2, 10, QLatin1Char('0'))
                       .arg(1 + n % 28, 2, 10, QLatin1Char('0'));
    cells[2] = n % 2 ? QStringLiteral("Senior Engineer") : QString();
    cells[3] = QStringLiteral("Company %1, Inc.").arg(n % 977);
    cells[4] = family + QStringLiteral(", ") + given;
    cells[5] = QStringLiteral("person%1@example.org").arg(n);
    cells[6] = n % 4 ? QString() : QStringLiteral("p%1@mail.example.com").arg(n);
    cells[8] = n % 5 ? QString() : QStringLiteral("https://example.org/~%1").arg(n);
    cells[9] = n % 9 ? QString() : QStringLiteral("xmpp:%1@chat.example.org").arg(n);
    cells[12] = phone(n, 1);
    cells[18] = n % 2 ? phone(n, 2) : QString();
    cells[22] = phone(n, 3);
    cells[14] = n % 10 ? QString() : phone(n, 4);
    cells[29] = QStringLiteral("Suite %1\r\n%2 Congress Ave\r\nAustin, TX  78701\r\nUnited States")
                    .arg(n % 900 + 100)
                    .arg(n % 9000 + 100);
    if (n % 3 == 1)
        cells[30] = QStringLiteral("Storgatan %1\r\nStockholm  111 22\r\nSverige").arg(n % 200);
    cells[32] = kNotes[n % kNotes.size()];
    return cells;
}

ResultList &bigList()
{
    static ResultList *list = [] {
        auto *l = new ResultList;
        for (const ContactField &f : fieldCatalogue())
            l->addColumn(QString::fromUtf8(f.caption));
        for (int n = 0; n < kContacts; ++n) {
            const QStringList cells = contactCells(n);
            const int i = l->addRow(cells[0]);
            for (int k = 2; k <= kFieldCount; ++k)
                if (!cells[k - 1].isEmpty())
                    l->setCell(i, k, cells[k - 1]);
            l->setChecked(i, true);
        }
        return l;
    }();
    return *list;
}

std::unique_ptr<Shell> makeShell(const benchmark::State &state)
{
    if (state.range(0) == 1)
        return std::make_unique<QtShell>();
    return std::make_unique<ScriptedShell>();
}

void BM_TextFile(benchmark::State &state)
{
    const ResultList &list = bigList();
    auto shell = makeShell(state);
    AutomationFactory automation;
    automation.registerClass(
        QStringLiteral("Scripting.FileSystemObject"), [&] { return std::make_unique<FileSystemObject>(*shell); });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.txt"));
    for (auto _ : state)
        SaveListAsText(*shell, automation, list, path);
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

void BM_CommaFile(benchmark::State &state)
{
    const ResultList &list = bigList();
    auto shell = makeShell(state);
    AutomationFactory automation;
    automation.registerClass(
        QStringLiteral("Scripting.FileSystemObject"), [&] { return std::make_unique<FileSystemObject>(*shell); });
    QTemporaryDir dir;
    // A fresh name each time: an existing file would bring up the question,
    // which only the scripted shell answers.
    int run = 0;
    QString path;
    for (auto _ : state) {
        path = dir.filePath(QStringLiteral("contacts%1.csv").arg(++run));
        SaveListAsCommaDelimited(*shell, automation, list, path);
    }
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

void BM_ClipboardText(benchmark::State &state)
{
    const ResultList &list = bigList();
    auto shell = makeShell(state);
    qsizetype size = 0;
    for (auto _ : state) {
        const QString text = clipboardText(list, clipboardColumnWidths(list, *shell), *shell);
        size = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["text_MB"] = static_cast<double>(size) * 2 / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

BENCHMARK(BM_TextFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CommaFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ClipboardText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
