// The outputs that keep every field over 100,000 generated contacts (about
// 52 MB of vCard text, all three versions): each contact's card text handed
// to CardEncoder, the bytes counted and dropped. Arg: 0 vCard 3.0, 1 vCard
// 4.0, 2 Outlook CSV, 3 Google CSV.
#include "PeakMemory.h"
#include "core/CardEncoders.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ContactGenerator.h"

using namespace quarrelby;

namespace {

constexpr int kContacts = 100000;

const std::vector<std::string> &cards()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out;
        out.reserve(kContacts);
        for (int i = 0; i < kContacts; ++i)
            out.push_back(bench::generatedCard(i));
        return out;
    }();
    return all;
}

void BM_CardEncoder(benchmark::State &state)
{
    const auto format = static_cast<CardFormat>(state.range(0));
    const std::vector<std::string> &input = cards();
    size_t in = 0;
    for (const std::string &card : input)
        in += card.size();
    size_t out = 0;
    for (auto _ : state) {
        out = 0;
        CardEncoder encoder(format, [&](QByteArrayView bytes) { out += static_cast<size_t>(bytes.size()); });
        for (const std::string &card : input)
            encoder.add(card);
        encoder.finish();
    }
    state.counters["in_MB"] = static_cast<double>(in) / (1024.0 * 1024.0);
    state.counters["out_MB"] = static_cast<double>(out) / (1024.0 * 1024.0);
    bench::reportPeakMemory(state);
}

} // namespace

BENCHMARK(BM_CardEncoder)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
