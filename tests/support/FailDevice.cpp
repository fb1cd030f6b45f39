#include "FailDevice.h"

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

} // namespace quarrelby::test
