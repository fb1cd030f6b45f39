// Looking for address books in every place the store knows, on a made-up
// home folder: one with none of them (what a user without any book waits
// for at every start and every click), and one with a book of each kind.

#include "platform/contacts/Discovery.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace quarrelby;

namespace {

void touch(const QString &path)
{
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    (void)file.open(QIODevice::WriteOnly);
}

void discover(benchmark::State &state, const QTemporaryDir &home, size_t expected)
{
    qputenv("HOME", QFile::encodeName(home.path()));
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "QUARRELBY_CONTACTS"})
        qunsetenv(name);
    size_t found = 0;
    for (auto _ : state) {
        const FoundBooks books = discoverAddressBooks();
        found = books.books.size() + books.fallback.size();
        benchmark::DoNotOptimize(found);
    }
    if (found != expected)
        state.SkipWithError("discovery found something else than the books made for it");
    state.counters["books"] = static_cast<double>(found);
}

void BM_DiscoverEmptyHome(benchmark::State &state)
{
    const QTemporaryDir home;
    discover(state, home, 0);
}

void BM_DiscoverEveryKind(benchmark::State &state)
{
    const QTemporaryDir home;
    const auto at = [&](const char *relative) { return home.filePath(QString::fromUtf8(relative)); };
    touch(at(".local/share/evolution/addressbook/system/contacts.db"));
    touch(at(".cache/evolution/addressbook/remote/cache.db"));
    QFile ini(at(".thunderbird/profiles.ini"));
    QDir().mkpath(at(".thunderbird"));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[Profile0]\nIsRelative=1\nPath=p.default\nDefault=1\n");
    ini.close();
    touch(at(".thunderbird/p.default/abook.sqlite"));
    touch(at(".local/share/contacts/sub/a.vcf"));
    touch(at(".contacts/work/a.vcf"));
    touch(at(".kde/share/apps/kabc/std.vcf"));
    touch(at("Documents/old.pst"));
    discover(state, home, 8);
}

} // namespace

BENCHMARK(BM_DiscoverEmptyHome)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiscoverEveryKind)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
