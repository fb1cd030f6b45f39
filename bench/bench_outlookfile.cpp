// Walking Outlook data files: each sample file of the test corpus (found
// through QUARRELBY_TEST_CORPUS) opened and read to its end, as the contact
// store does. No program in Debian writes .pst files, so there is no large
// one to read. BM_PerContact estimates the cost of a contact as the
// difference between the file with six contacts and the one with none, a
// folder tree of about the same size (6 folders against 5, which holds one
// appointment), divided by six.

#include "platform/Failure.h"
#include "platform/contacts/OutlookDataFile.h"
#include "platform/contacts/ReadAhead.h"

#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

using namespace quarrelby;

namespace {

QByteArray corpusFile(const char *name)
{
    const QByteArray root = qgetenv("QUARRELBY_TEST_CORPUS");
    const QByteArray path = root + "/pst/" + name;
    return root.isEmpty() || !QFileInfo::exists(QFile::decodeName(path)) ? QByteArray() : path;
}

// Walks the file once; the number of items listed. whole: as a lossless
// export does, each item's vCard built too.
int walk(const QByteArray &path, bool whole = false)
{
    ReadAhead source(outlookDataFile(path), path, whole);
    Contact contact;
    std::string_view card;
    int listed = 0;
    for (;;) {
        try {
            if (!source.next(contact, whole ? &card : nullptr))
                return listed;
            benchmark::DoNotOptimize(card.data());
            benchmark::DoNotOptimize(contact.texts.data());
            ++listed;
        } catch (const Failure &) {
            return -1;
        }
    }
}

void BM_WalkFile(benchmark::State &state, const char *name, int expected, bool whole = false)
{
    const QByteArray path = corpusFile(name);
    if (path.isEmpty()) {
        state.SkipWithError("QUARRELBY_TEST_CORPUS is not set or lacks the file");
        return;
    }
    for (auto _ : state) {
        if (walk(path, whole) != expected) {
            state.SkipWithError("the walk did not list what the file holds");
            return;
        }
    }
    state.counters["items"] = expected;
}

// The time of a contact: six contacts against none, many walks each;
// range(0) = 1: whole, its vCard built too.
void BM_PerContact(benchmark::State &state)
{
    const bool whole = state.range(0) == 1;
    const QByteArray six = corpusFile("aspose-samplecontacts-6contacts-unicode.pst");
    const QByteArray none = corpusFile("gopst-ansi-32bit-nocontacts.pst");
    if (six.isEmpty() || none.isEmpty()) {
        state.SkipWithError("QUARRELBY_TEST_CORPUS is not set or lacks the files");
        return;
    }
    // Wall and processor time: on a busy machine the first waits for the
    // processor as much as it works.
    using Clock = std::chrono::steady_clock;
    const auto cpuSeconds = [] {
        timespec now {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    };
    constexpr int kWalks = 200;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        for (int i = 0; i < kWalks; ++i)
            benchmark::DoNotOptimize(walk(six, whole));
        const auto middle = Clock::now();
        const double cpuMiddle = cpuSeconds();
        for (int i = 0; i < kWalks; ++i)
            benchmark::DoNotOptimize(walk(none, whole));
        const auto end = Clock::now();
        const double cpuEnd = cpuSeconds();
        const double perContact = std::chrono::duration<double>((middle - start) - (end - middle)).count() / kWalks / 6;
        const double cpuPerContact = ((cpuMiddle - cpuStart) - (cpuEnd - cpuMiddle)) / kWalks / 6;
        state.SetIterationTime(perContact);
        state.counters["projected_10000_s"] = perContact * 10000;
        state.counters["projected_10000_cpu_s"] = cpuPerContact * 10000;
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_WalkFile, six_contacts, "aspose-samplecontacts-6contacts-unicode.pst", 6)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WalkFile, list_and_contact, "javalibpst-distlist-contact-unicode.pst", 2)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WalkFile, no_contacts, "gopst-ansi-32bit-nocontacts.pst", 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WalkFile, six_contacts_whole, "aspose-samplecontacts-6contacts-unicode.pst", 6, true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PerContact)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(1)->Repetitions(5);

BENCHMARK_MAIN();
