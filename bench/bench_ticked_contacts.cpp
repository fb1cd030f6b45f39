// The list's menu entries that save the ticked rows' contacts whole: 100,000
// generated contacts read into the list, every row ticked, then saved in the
// format of the first argument (0 vCard 3.0, 1 vCard 4.0, 2 Outlook CSV, 3
// Google CSV), from the book of the second: 0 one vCard file, whose cards
// have no UID, so that each is found by its cells, the slower way; 1 an
// Evolution book, each card found by its UID. Each save reads the book again
// and finds every row's contact. listed_MB is the peak after the extraction,
// peak_MB the peak over the saves.
#include "ContactGenerator.h"
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "actions/SaveTickedContacts.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/SaveFileWriter.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

constexpr int kContacts = 100000;

void BM_SaveTickedContacts(benchmark::State &state)
{
    QTemporaryDir dir;
    const bool eds = state.range(1) == 1;
    const QString book = dir.filePath(eds ? QStringLiteral("contacts.db") : QStringLiteral("contacts.vcf"));
    if (!(eds ? bench::writeEdsBook(book, kContacts) : bench::writeAddressBookFile(book, kContacts))) {
        state.SkipWithError("could not generate the address book");
        return;
    }
    ScriptedShell shell;
    ContactStore books(book);
    ResultList list;
    for (const ContactField &f : fieldCatalogue())
        list.addColumn(QLatin1String(f.caption));
    BusyState busy;
    SaveFileWriter files(shell);
    ActionContext context {shell, list, busy, [](int) { return 1; }};
    readAddressBooks(context, books);
    state.counters["listed_MB"] = bench::peakMemoryMB();
    list.setCheckedRange(0, list.itemCount() - 1, true);
    const auto format = static_cast<CardFormat>(state.range(0));
    const QString out = dir.filePath(QStringLiteral("out"));
    for (auto _ : state) {
        shell.saveNames = {out};
        saveTickedContacts(context, books, files, format);
    }
    bench::reportPeakMemory(state);
    const QString expected = QStringLiteral("%1 contacts have been saved to ").arg(kContacts) + out;
    if (list.itemCount() != kContacts || shell.messages.isEmpty() || !shell.texts().constLast().startsWith(expected))
        state.SkipWithError("not every contact was saved");
}

BENCHMARK(BM_SaveTickedContacts)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
