// The workbook of 100,000 listed contacts: the .xlsx writer alone, and the
// whole "Save Results As Excel File" action through the product's workbook
// export (with xdg-mime and xdg-open stand-ins that do nothing). Arg 0
// picks the contacts: 0 as an address book has them (about a third of the 33
// fields filled), 1 every field filled. Arg 1 of the action picks the shell:
// 0 scripted (yield is a counter), 1 the program's time-sliced QtShell.
// Run one benchmark per process (--benchmark_filter) for a peak-memory figure
// of that benchmark alone.
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "actions/ExportWorkbook.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/qt/QtShell.h"
#include "platform/workbook/ShownWorkbook.h"
#include "platform/workbook/XlsxWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget> // QtShell keeps a QPointer<QWidget>

#include <benchmark/benchmark.h>

#include "ListedContacts.h"

#include <array>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

constexpr int kContacts = 100000;

// xdg-mime that names a spreadsheet program and xdg-open that does nothing,
// first on PATH; the workbooks go to a temporary folder of our own.
struct Desktop {
    Desktop()
    {
        const QString bin = dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        script(bin + QLatin1String("/xdg-mime"), "echo libreoffice-calc.desktop");
        script(bin + QLatin1String("/xdg-open"), "exit 0");
        qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
        temp = dir.filePath(QStringLiteral("tmp"));
        QDir().mkpath(temp);
        qputenv("TMPDIR", QFile::encodeName(temp));
    }
    static void script(const QString &path, const QByteArray &body)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + '\n') < 0)
            qFatal("cannot write %s", qPrintable(path));
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The size of the workbooks written, then removes them.
    double takeWorkbooksMB()
    {
        qint64 bytes = 0;
        QDir folder(temp);
        for (const QString &sub : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QDir workbookFolder(folder.filePath(sub));
            for (const QFileInfo &file : workbookFolder.entryInfoList(QDir::Files))
                bytes = std::max(bytes, file.size());
            workbookFolder.removeRecursively();
        }
        return static_cast<double>(bytes) / (1024.0 * 1024.0);
    }

    QTemporaryDir dir;
    QString temp;
};

void BM_ExcelWriter(benchmark::State &state)
{
    const ResultList &list = bench::listedContacts(kContacts, state.range(0) == 1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Book1.xlsx"));
    for (auto _ : state) {
        WorkbookFile sheet(path);
        for (int k = 1; k <= list.headerCount(); ++k)
            sheet.setCell(1, k, list.columnText(k));
        for (int i = 1; i <= list.itemCount(); ++i)
            for (int k = 1; k <= list.headerCount(); ++k)
                sheet.setCell(i + 1, k, list.cell(i, k));
        sheet.finish();
        state.PauseTiming();
        state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
        QFile::remove(path);
        state.ResumeTiming();
    }
    bench::reportPeakMemory(state);
}

void BM_ExcelExport(benchmark::State &state)
{
    ResultList &list = bench::listedContacts(kContacts, state.range(0) == 1);
    Desktop desktop;
    std::unique_ptr<Shell> shell;
    if (state.range(1) == 1)
        shell = std::make_unique<QtShell>();
    else
        shell = std::make_unique<ScriptedShell>();
    DesktopSpreadsheets spreadsheets(*shell);
    BusyState busy;
    ActionContext context {*shell, list, busy, [](int) { return 1; }};
    for (auto _ : state) {
        exportWorkbook(context, spreadsheets);
        state.PauseTiming();
        state.counters["file_MB"] = desktop.takeWorkbooksMB();
        state.ResumeTiming();
    }
    if (auto *scripted = dynamic_cast<ScriptedShell *>(shell.get()); scripted && !scripted->messages.isEmpty())
        state.SkipWithError(qPrintable(scripted->messages.first().text));
    bench::reportPeakMemory(state);
}

BENCHMARK(BM_ExcelWriter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExcelExport)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

QUARRELBY_BENCHMARK_MAIN()
