#pragma once

#include <QStringList>

namespace quarrelby {
class ResultList;
}

namespace quarrelby::bench {

// The 33 cells of listed contact n, as an address book gives them: most
// phone fields empty, a few numbers each, non-ASCII names, multi-line
// addresses, notes with commas, quotes and line breaks. With everyField,
// every empty cell is filled too.
[[nodiscard]] QStringList listedContactCells(int n, bool everyField = false);

// A list of the 33 catalogue columns and count ticked rows, made once per
// (count, everyField) and kept for the life of the benchmark program.
[[nodiscard]] ResultList &listedContacts(int count, bool everyField = false);

} // namespace quarrelby::bench

// main() of a benchmark program that needs a Qt application object.
#define QUARRELBY_BENCHMARK_MAIN()                                                                                     \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        benchmark::Initialize(&argc, argv);                                                                            \
        benchmark::RunSpecifiedBenchmarks();                                                                           \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
