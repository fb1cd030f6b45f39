// The workbook of 100,000 listed contacts: the .xlsx writer alone, and the
// whole "Save Results As Excel File" handler through the product's Excel
// stand-in (with xdg-mime and xdg-open stand-ins that do nothing). Arg 0
// picks the contacts: 0 as an address book has them (about a third of the 33
// fields filled), 1 every field filled. Arg 1 of the handler picks the shell:
// 0 scripted (yield is a counter), 1 the program's time-sliced QtShell.
// Run one benchmark per process (--benchmark_filter) for a peak-memory figure
// of that benchmark alone.
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "app/FormContext.h"
#include "app/MousePointer.h"
#include "app/ResultList.h"
#include "export/ExcelExport.h"
#include "outlook/FieldCatalogue.h"
#include "platform/Automation.h"
#include "platform/ExcelApplication.h"
#include "platform/ExcelWorkbookWriter.h"
#include "platform/QtShell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget> // QtShell keeps a QPointer<QWidget>

#include <benchmark/benchmark.h>

#include <array>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

constexpr int kContacts = 100000;

const QStringList kGiven = {QStringLiteral("Ingrid"), QStringLiteral("José"), QStringLiteral("Zoë"),
    QStringLiteral("Wei"), QStringLiteral("Małgorzata"), QStringLiteral("Aoife"), QStringLiteral("Kwame")};
const QStringList kFamily = {QStringLiteral("Bergström"), QStringLiteral("García"), QStringLiteral("O'Neill"),
    QStringLiteral("Schäfer-Wolff"), QStringLiteral("Johnson"), QStringLiteral("佐藤"), QStringLiteral("Novák")};
const QStringList kNotes = {QString(), QStringLiteral("Met at the trade show, 2020; prefers \"tea, not coffee\"."),
    QStringLiteral("Call mornings only.\r\nAssistant handles the calendar."), QString(),
    QStringLiteral("Old address below, = moved in May")};

QString phone(int n, int salt)
{
    return QStringLiteral("+44 20 7946 %1").arg((n * 13 + salt * 271) % 10000, 4, 10, QLatin1Char('0'));
}

QStringList contactCells(int n, bool everyField)
{
    QStringList cells(kFieldCount);
    const QString given = kGiven[n % kGiven.size()];
    const QString family = kFamily[(n / 7) % kFamily.size()];
    cells[0] = given + QLatin1Char(' ') + family;
    if (n % 3 == 0)
        cells[1] = QStringLiteral("%1-%2-%3").arg(1950 + n % 60).arg(1 + n % 12).arg(1 + n % 28);
    cells[2] = n % 2 ? QStringLiteral("Account Manager") : QString();
    cells[3] = QStringLiteral("Harbour Trading %1 Ltd").arg(n % 911);
    cells[4] = family + QStringLiteral(", ") + given;
    cells[5] = QStringLiteral("contact%1@example.com").arg(n);
    cells[6] = n % 4 ? QString() : QStringLiteral("c%1@mail.example.net").arg(n);
    cells[8] = n % 5 ? QString() : QStringLiteral("https://example.com/people/%1").arg(n);
    cells[12] = phone(n, 1);
    cells[18] = n % 2 ? phone(n, 2) : QString();
    cells[22] = phone(n, 3);
    cells[29] = QStringLiteral("Floor %1\r\n%2 Fleet Street\r\nLondon  EC4Y 1AA\r\nUnited Kingdom")
                    .arg(n % 12 + 1)
                    .arg(n % 400 + 1);
    if (n % 3 == 1)
        cells[30] = QStringLiteral("Kungsgatan %1\r\nGöteborg  411 19\r\nSverige").arg(n % 90 + 1);
    cells[32] = kNotes[n % kNotes.size()];
    if (everyField) {
        for (int k = 0; k < kFieldCount; ++k)
            if (cells[k].isEmpty())
                cells[k] = k >= 10 && k <= 28 ? phone(n, k) : QStringLiteral("Value %1 of contact %2").arg(k).arg(n);
    }
    return cells;
}

ResultList &bigList(bool everyField)
{
    static std::array<ResultList *, 2> lists {};
    ResultList *&list = lists[everyField ? 1 : 0];
    if (!list) {
        list = new ResultList;
        for (const ContactField &f : fieldCatalogue())
            list->addColumn(QString::fromUtf8(f.caption));
        for (int n = 0; n < kContacts; ++n) {
            const QStringList cells = contactCells(n, everyField);
            const int i = list->addRow(cells[0]);
            for (int k = 2; k <= kFieldCount; ++k)
                if (!cells[k - 1].isEmpty())
                    list->setCell(i, k, cells[k - 1]);
            list->setChecked(i, true);
        }
    }
    return *list;
}

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
    const ResultList &list = bigList(state.range(0) == 1);
    ExcelSheet sheet;
    sheet.rows.resize(static_cast<size_t>(list.itemCount() + 1));
    for (int k = 1; k <= list.headerCount(); ++k) {
        sheet.rows[0].push_back(list.columnText(k));
        sheet.columnWidths[k] = 20;
    }
    for (int i = 1; i <= list.itemCount(); ++i)
        for (int k = 1; k <= list.headerCount(); ++k)
            sheet.rows[static_cast<size_t>(i)].push_back(list.cell(i, k));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Book1.xlsx"));
    for (auto _ : state) {
        writeWorkbook(path, sheet);
        state.PauseTiming();
        state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
        QFile::remove(path);
        state.ResumeTiming();
    }
    bench::reportPeakMemory(state);
}

void BM_ExcelExport(benchmark::State &state)
{
    ResultList &list = bigList(state.range(0) == 1);
    Desktop desktop;
    std::unique_ptr<Shell> shell;
    if (state.range(1) == 1)
        shell = std::make_unique<QtShell>();
    else
        shell = std::make_unique<ScriptedShell>();
    AutomationFactory automation;
    automation.registerClass(QStringLiteral("Excel.Application"), [&] { return createExcelApplication(*shell); });
    MousePointer pointer;
    FormContext form {*shell, automation, list, pointer, [](int) { return 1; }};
    for (auto _ : state) {
        PushButton1_Click(form);
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

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
