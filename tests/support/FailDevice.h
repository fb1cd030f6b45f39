#pragma once

#include <QIODevice>

namespace quarrelby::test {

// Passes writes on to another device until a given number of bytes has gone
// through, then fails the way a full disk does: the bytes that still fit are
// written and the write reports an error.
class FailDevice : public QIODevice {
public:
    FailDevice(QIODevice &target, qint64 failAfter);

    [[nodiscard]] qint64 written() const { return m_written; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QIODevice &m_target;
    qint64 m_failAfter;
    qint64 m_written = 0;
};

// Writes to /dev/full, where every write fails with ENOSPC, and reports the
// failure as QSaveFile does when its buffer cannot be written out: -1 and no
// reason of its own.
class FullDevice : public QIODevice {
public:
    FullDevice();
    ~FullDevice() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    int m_fd;
};

} // namespace quarrelby::test
