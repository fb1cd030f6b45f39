#include "cli/Console.h"

#include "platform/Failure.h"
#include "platform/qt/SaveFileWriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace quarrelby {

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void markInterrupted(int signal)
{
    g_signal = signal;
}

} // namespace

void catchInterruptions()
{
    struct sigaction action { };
    action.sa_handler = markInterrupted;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void stopIfInterrupted()
{
    if (g_signal != 0) [[unlikely]]
        throw Failure(QStringLiteral("Interrupted."));
}

void endIfInterrupted()
{
    if (g_signal == 0)
        return;
    const int signal = g_signal;
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

TextOutput::TextOutput(SystemService &system, const QString &path)
{
    if (path.isEmpty())
        return;
    m_writer = std::make_unique<SaveFileWriter>(system);
    m_file = m_writer->create(path);
}

TextOutput::~TextOutput() = default;

void TextOutput::write(QByteArrayView bytes)
{
    if (m_file) {
        m_file->write(bytes);
        return;
    }
    const char *data = bytes.data();
    auto left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw Failure(
                QStringLiteral("Cannot write to standard output: %1").arg(systemMessage(written < 0 ? errno : EIO)));
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void TextOutput::commit()
{
    if (m_file)
        m_file->commit();
}

} // namespace quarrelby
