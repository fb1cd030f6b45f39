#include "cli/Console.h"

#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/Signals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace quarrelby {

namespace {

// What the work is doing when a signal comes.
enum Stage : int { Working, Committing, InPlace };

std::atomic<int> g_signal {0};
std::atomic<int> g_stage {Working};
static_assert(std::atomic<int>::is_always_lock_free, "read and written by a signal handler");

extern "C" void onSignal(int signal)
{
    // A second signal while the work stops: the user will not wait for it.
    // (Each write to a reader that has gone raises SIGPIPE again.)
    if (g_stage.load() == Working && g_signal.load() != 0 && signal != SIGPIPE) {
        removeLiveFoldersNow();
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (g_signal.load() == 0 || signal != SIGPIPE)
        g_signal.store(signal);
}

} // namespace

void catchInterruptions()
{
    handleUnlessIgnored({SIGINT, SIGTERM, SIGHUP, SIGPIPE}, onSignal);
}

void stopIfInterrupted()
{
    if (g_signal.load(std::memory_order_relaxed) != 0) [[unlikely]]
        throw Interrupted();
}

bool interrupted()
{
    return g_signal.load() != 0;
}

void outputCommitting()
{
    g_stage.store(Committing);
}

void outputInPlace()
{
    g_stage.store(InPlace);
}

void endIfInterrupted()
{
    const int signal = g_signal.load();
    if (signal == 0 || g_stage.load() == InPlace)
        return;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void tell(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QByteArray line = "quarrelby: " + plain.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

QString oneLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

bool ConsoleSystem::startDetached(const QString &, const QStringList &)
{
    return false;
}

QString ConsoleSystem::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

bool ConsoleSystem::fileExists(const QString &path) const
{
    return QFileInfo::exists(path);
}

void ConsoleSystem::endProgram()
{
    runEndHooks();
    std::exit(kExitFailed);
}

void ConsoleSystem::sleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

} // namespace quarrelby
