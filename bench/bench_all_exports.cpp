// Peak memory of one session as a user runs it: 100,000 generated contacts
// read from one vCard file into the list, every row ticked, then the list
// saved as a text file and as a comma-delimited file, copied to the real
// clipboard (Qt's, on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise) and saved as a workbook (with xdg-mime and xdg-open stand-ins
// that do nothing). One run; each step's figure is the process's VmHWM over
// that step, peak_MB the largest.
#include "ContactGenerator.h"
#include "ListedContacts.h"
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "actions/CopyToClipboard.h"
#include "actions/ExportWorkbook.h"
#include "actions/ExtractContacts.h"
#include "actions/SaveAsCommaDelimited.h"
#include "actions/SaveAsTextFile.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/QtShell.h"
#include "platform/qt/SaveFileWriter.h"
#include "platform/workbook/ShownWorkbook.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget> // QtShell keeps a QPointer<QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

constexpr int kContacts = 100000;

// The high-water mark of resident memory, in megabytes.
double vmHwmMB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    double kb = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> kb;
            break;
        }
    }
    return kb / 1024.0;
}

// Starts a new high-water mark at the present resident size, so that each
// step's own peak can be told apart; the session's peak is the largest.
void restartPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void script(const QString &path, const QByteArray &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + '\n') < 0)
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void BM_ExtractAndExportAll(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("contacts.vcf"));
    const QString bin = dir.filePath(QStringLiteral("bin"));
    const QString temp = dir.filePath(QStringLiteral("tmp"));
    if (!bench::writeAddressBookFile(book, kContacts) || !QDir().mkpath(bin) || !QDir().mkpath(temp)) {
        state.SkipWithError("could not generate the address book");
        return;
    }
    script(bin + QLatin1String("/xdg-mime"), "echo libreoffice-calc.desktop");
    script(bin + QLatin1String("/xdg-open"), "exit 0");
    qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
    qputenv("TMPDIR", QFile::encodeName(temp));
    qputenv("QUARRELBY_CONTACTS", QFile::encodeName(book));
    state.counters["start_MB"] = vmHwmMB();

    ScriptedShell shell;
    QtShell clipboard;
    ContactStore books;
    DesktopSpreadsheets spreadsheets(shell);
    ResultList list;
    for (const ContactField &f : fieldCatalogue())
        list.addColumn(QLatin1String(f.caption));
    BusyState busy;
    SaveFileWriter files(shell);
    ActionContext context {shell, list, busy, [](int) { return 1; }};
    CopyOutcome copied = CopyOutcome::NoRows;
    for (auto _ : state) {
        readAddressBooks(context, books);
        double peak = vmHwmMB();
        state.counters["listed_MB"] = peak;
        for (int r = 0; r < list.itemCount(); ++r)
            list.setChecked(r, true);
        restartPeak();
        writeAlignedText(shell, files, list, dir.filePath(QStringLiteral("contacts.txt")));
        state.counters["text_MB"] = vmHwmMB();
        peak = std::max(peak, vmHwmMB());
        restartPeak();
        writeCommaDelimited(shell, files, list, dir.filePath(QStringLiteral("contacts.csv")));
        state.counters["comma_MB"] = vmHwmMB();
        peak = std::max(peak, vmHwmMB());
        restartPeak();
        copied = copyListToClipboard(clipboard, list);
        state.counters["clipboard_MB"] = vmHwmMB();
        peak = std::max(peak, vmHwmMB());
        restartPeak();
        exportWorkbook(context, spreadsheets);
        state.counters["workbook_MB"] = vmHwmMB();
        state.counters["peak_MB"] = std::max(peak, vmHwmMB());
    }
    if (list.itemCount() != kContacts || !shell.messages.isEmpty() || copied != CopyOutcome::Copied)
        state.SkipWithError("the session did not list and export every contact cleanly");
}

BENCHMARK(BM_ExtractAndExportAll)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
