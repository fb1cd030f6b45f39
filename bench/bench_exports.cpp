// The three text exports over 100,000 listed contacts: the text file, the
// comma-delimited file (both through the real text-file writer onto disk)
// and the clipboard text. Each runs with a scripted shell whose yield is a
// counter (arg 0) and with the program's time-sliced QtShell (arg 1).
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "actions/CopyToClipboard.h"
#include "actions/SaveAsCommaDelimited.h"
#include "actions/SaveAsTextFile.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "core/TableEncoders.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/SaveFileWriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget> // QtShell keeps a QPointer<QWidget>

#include <benchmark/benchmark.h>

#include "ListedContacts.h"

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

constexpr int kContacts = 100000;

std::unique_ptr<Shell> makeShell(const benchmark::State &state)
{
    if (state.range(0) == 1)
        return std::make_unique<QtShell>();
    return std::make_unique<ScriptedShell>();
}

void BM_TextFile(benchmark::State &state)
{
    const ResultList &list = bench::listedContacts(kContacts);
    auto shell = makeShell(state);
    SaveFileWriter files(*shell);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("contacts.txt"));
    for (auto _ : state)
        writeAlignedText(*shell, files, list, path);
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

void BM_CommaFile(benchmark::State &state)
{
    const ResultList &list = bench::listedContacts(kContacts);
    auto shell = makeShell(state);
    SaveFileWriter files(*shell);
    QTemporaryDir dir;
    // A fresh name each time: an existing file would bring up the question,
    // which only the scripted shell answers.
    int run = 0;
    QString path;
    for (auto _ : state) {
        path = dir.filePath(QStringLiteral("contacts%1.csv").arg(++run));
        writeCommaDelimited(*shell, files, list, path);
    }
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

void BM_ClipboardText(benchmark::State &state)
{
    const ResultList &list = bench::listedContacts(kContacts);
    auto shell = makeShell(state);
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray text = clipboardText(list, measureColumnWidths(list, *shell, CountHeaders::No), *shell);
        size = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["text_MB"] = static_cast<double>(size) / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

BENCHMARK(BM_TextFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CommaFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ClipboardText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

QUARRELBY_BENCHMARK_MAIN()
