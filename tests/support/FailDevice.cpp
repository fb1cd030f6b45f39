#include "FailDevice.h"

#include <fcntl.h>
#include <unistd.h>

namespace quarrelby::test {

FailDevice::FailDevice(QIODevice &target, qint64 failAfter)
    : m_target(target)
    , m_failAfter(failAfter)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 FailDevice::readData(char *data, qint64 maxSize)
{
    Q_UNUSED(data)
    Q_UNUSED(maxSize)
    return -1;
}

qint64 FailDevice::writeData(const char *data, qint64 size)
{
    const qint64 room = std::max<qint64>(m_failAfter - m_written, 0);
    const qint64 passed = m_target.write(data, std::min(size, room));
    if (passed > 0)
        m_written += passed;
    if (passed < size) {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
    return passed;
}

FullDevice::FullDevice()
    : m_fd(::open("/dev/full", O_WRONLY | O_CLOEXEC))
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

FullDevice::~FullDevice()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 FullDevice::readData(char *data, qint64 maxSize)
{
    Q_UNUSED(data)
    Q_UNUSED(maxSize)
    return -1;
}

qint64 FullDevice::writeData(const char *data, qint64 size)
{
    const ssize_t written = ::write(m_fd, data, static_cast<size_t>(size));
    return written < 0 ? -1 : written;
}

} // namespace quarrelby::test
