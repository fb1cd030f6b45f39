// The contact store under the real extraction: 100,000 generated contacts
// from one file, from a folder of one file per contact and from an Evolution
// book, into a ResultList, against only reading and parsing them. Run one benchmark per process
// (--benchmark_filter) when the peak memory figure matters.

#include "ContactGenerator.h"
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/contacts/BookKinds.h"
#include "platform/contacts/ContactStore.h"
#include "platform/contacts/ReadAhead.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using namespace quarrelby;

namespace {

constexpr int kContacts = 100000;

// Generated once per process, into a temporary folder that goes with it.
struct AddressBooks {
    QTemporaryDir dir;
    QString file;
    QString folder;
    QString eds;
    QString thunderbird;
    bool fileReady = false;
    bool folderReady = false;
    bool edsReady = false;
    bool thunderbirdReady = false;

    static AddressBooks &instance()
    {
        static AddressBooks books;
        return books;
    }

    const QString &singleFile()
    {
        if (!fileReady) {
            file = dir.filePath(QStringLiteral("contacts.vcf"));
            fileReady = bench::writeAddressBookFile(file, kContacts);
        }
        return file;
    }

    // The same cards as singleFile(), as a local Evolution book.
    const QString &edsBook()
    {
        if (!edsReady) {
            eds = dir.filePath(QStringLiteral("contacts.db"));
            edsReady = bench::writeEdsBook(eds, kContacts);
        }
        return eds;
    }

    // The same cards as a Thunderbird book.
    const QString &thunderbirdBook()
    {
        if (!thunderbirdReady) {
            thunderbird = dir.filePath(QStringLiteral("abook.sqlite"));
            thunderbirdReady = bench::writeThunderbirdBook(thunderbird, kContacts);
        }
        return thunderbird;
    }

    const QString &manyFiles()
    {
        if (!folderReady) {
            folder = dir.filePath(QStringLiteral("contacts"));
            folderReady = QDir().mkpath(folder) && bench::writeAddressBookFolder(folder, kContacts);
        }
        return folder;
    }
};

void extract(benchmark::State &state, const QString &location)
{
    if (location.isEmpty()) {
        state.SkipWithError("could not generate the address book");
        return;
    }
    qputenv("QUARRELBY_CONTACTS", QFile::encodeName(location));
    test::ScriptedShell shell;
    ContactStore books;
    BusyState busy;
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<ResultList>();
        for (const ContactField &f : fieldCatalogue())
            list->addColumn(QLatin1String(f.caption));
        ActionContext context {shell, *list, busy, [](int) { return 1; }};
        state.ResumeTiming();

        readAddressBooks(context, books);

        state.PauseTiming();
        rows = list->itemCount();
        list.reset();
        state.ResumeTiming();
    }
    if (rows != kContacts || !shell.messages.isEmpty())
        state.SkipWithError("the extraction did not list every contact cleanly");
    state.counters["contacts"] = rows;
    bench::reportPeakMemory(state);
}

void parseOnly(benchmark::State &state, const QString &location)
{
    if (location.isEmpty()) {
        state.SkipWithError("could not generate the address book");
        return;
    }
    int count = 0;
    for (auto _ : state) {
        count = 0;
        auto walk = ContactStore(location).open();
        Contact contact;
        while (walk->next(contact)) {
            benchmark::DoNotOptimize(contact.distributionList);
            ++count;
        }
    }
    if (count != kContacts)
        state.SkipWithError("the walk did not see every contact");
    state.counters["contacts"] = count;
    bench::reportPeakMemory(state);
}

// One contact source walked to its end, every property read: the reading
// alone, without the store and the list around it.
void readSource(benchmark::State &state, const QString &location, BookKind kind)
{
    if (location.isEmpty()) {
        state.SkipWithError("could not generate the address book");
        return;
    }
    int count = 0;
    for (auto _ : state) {
        count = 0;
        const QByteArray path = QFile::encodeName(location);
        ReadAhead source(openBook({kind, path}), path);
        Contact contact;
        while (source.next(contact)) {
            for (int i = 0; i < kContactPropertyCount; ++i)
                benchmark::DoNotOptimize(contact.value(i));
            ++count;
        }
    }
    if (count != kContacts)
        state.SkipWithError("the walk did not see every contact");
    state.counters["contacts"] = count;
    bench::reportPeakMemory(state);
}

void BM_ReadOneFile(benchmark::State &state)
{
    readSource(state, AddressBooks::instance().singleFile(), BookKind::VCard);
}

void BM_ReadEdsBook(benchmark::State &state)
{
    readSource(state, AddressBooks::instance().edsBook(), BookKind::Eds);
}

void BM_ReadThunderbirdBook(benchmark::State &state)
{
    readSource(state, AddressBooks::instance().thunderbirdBook(), BookKind::Thunderbird);
}

void BM_ExtractThunderbirdBook(benchmark::State &state)
{
    extract(state, AddressBooks::instance().thunderbirdBook());
}

void BM_ExtractEdsBook(benchmark::State &state)
{
    extract(state, AddressBooks::instance().edsBook());
}

void BM_ExtractOneFile(benchmark::State &state)
{
    extract(state, AddressBooks::instance().singleFile());
}

void BM_ExtractFolder(benchmark::State &state)
{
    extract(state, AddressBooks::instance().manyFiles());
}

void BM_ParseOnlyOneFile(benchmark::State &state)
{
    parseOnly(state, AddressBooks::instance().singleFile());
}

void BM_ParseOnlyFolder(benchmark::State &state)
{
    parseOnly(state, AddressBooks::instance().manyFiles());
}

} // namespace

BENCHMARK(BM_ParseOnlyOneFile)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ExtractOneFile)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ReadOneFile)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ReadEdsBook)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ExtractEdsBook)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ReadThunderbirdBook)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ExtractThunderbirdBook)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ParseOnlyFolder)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ExtractFolder)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

BENCHMARK_MAIN();
