#include "platform/qt/SaveFileWriter.h"

#include "platform/Failure.h"
#include "platform/Shell.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quarrelby {

namespace {

constexpr qint64 kWritebackStep = qint64(4) * 1024 * 1024;

bool effectivelyWritable(const QString &path)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

// Why the file could not be made. QSaveFile turns down an existing file
// that may not be written in a text of its own ("Existing file ... is not
// writable"); the system's reason says what stands in the way ("Read-only
// file system", "Permission denied").
QString createFailure(const QString &path, const QSaveFile &file)
{
    if (QFileInfo::exists(path) && !effectivelyWritable(path))
        return systemMessage(errno);
    return file.errorString();
}

// A file being saved. Until the commit, the bytes live in a temporary file
// that QSaveFile removes when it is destroyed; the end hook does the same if
// the program ends at once in the middle of a save, when no destructor runs.
//
// In a folder where no new file may be made, a file that may be written is
// written in place instead. Its old content is kept in memory and put back
// when the save fails or is abandoned (the end hook included); only if that
// too fails, or the process is killed, is the file left with the bytes
// written so far.
//
// A short or failed write throws, and so does every later call: the caller
// must not mistake a torn file for a saved one.
class SaveFile : public TextFile {
public:
    SaveFile(SystemService &system, const QString &path, const SaveFileWriter::DeviceFilter &filter)
        : m_system(system)
        , m_path(QDir::toNativeSeparators(path))
        , m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly) && !openInPlace(path))
            throw Failure(QStringLiteral("Cannot create %1: %2").arg(m_path, createFailure(path, m_file)));
        if (filter)
            m_filter = filter(m_file);
        m_device = m_filter ? m_filter.get() : static_cast<QIODevice *>(&m_file);
        m_endHook = m_system.addEndHook([this] { discard(); });
    }

    ~SaveFile() override
    {
        m_system.removeEndHook(m_endHook);
        discard();
    }

    SaveFile(const SaveFile &) = delete;
    SaveFile &operator=(const SaveFile &) = delete;

    void write(QByteArrayView bytes) override
    {
        // Committed, or discarded by the end hook.
        if (m_closed || !m_file.isOpen())
            throw Failure(QStringLiteral("Bad file mode"));
        if (m_failed)
            fail(0);
        errno = 0;
        if (m_device->write(bytes.data(), bytes.size()) != bytes.size())
            fail(errno);
        startWriteback();
    }

    void commit() override
    {
        if (m_closed)
            return;
        m_closed = true;
        if (m_failed)
            fail(0);
        if (m_filter)
            m_filter->close();
        if (!m_file.commit()) {
            const QString reason = m_file.errorString();
            restoreInPlace();
            throw Failure(QStringLiteral("Cannot save %1: %2").arg(m_path, reason));
        }
    }

private:
    // systemError: errno after the failed write, or 0.
    [[noreturn]] void fail(int systemError)
    {
        if (!m_failed) {
            m_failed = true;
            m_reason = m_device->errorString();
            // A file device that fails while it empties its buffer gives no
            // reason of its own (QSaveFile says "Unknown error"); the
            // system's is the one the user needs, such as a full disk.
            if (m_reason.isEmpty() || m_reason == QLatin1String("Unknown error"))
                m_reason = systemError != 0 ? systemMessage(systemError) : QStringLiteral("Device I/O error");
        }
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(m_path, m_reason));
    }

    // Sets the disk writing what has been handed over so far, without
    // waiting for it, once enough has gathered: the disk then works while
    // the next bytes are made, and the commit waits only for the last few.
    // Only a hint; the commit still makes sure every byte is on the disk.
    void startWriteback()
    {
        const qint64 end = m_file.pos();
        if (end - m_writebackStart < kWritebackStep)
            return;
        (void)::sync_file_range(m_file.handle(), m_writebackStart, end - m_writebackStart, SYNC_FILE_RANGE_WRITE);
        m_writebackStart = end;
    }

    // The folder allows no new file, but the file itself may be written: the
    // one case where the file is written in place.
    bool openInPlace(const QString &path)
    {
        const QFileInfo file(path);
        if (!file.isFile() || effectivelyWritable(file.absolutePath()) || !effectivelyWritable(path))
            return false;
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return false;
        m_oldContent = old.readAll();
        if (old.error() != QFileDevice::NoError)
            return false;
        old.close();
        m_file.setDirectWriteFallback(true);
        m_inPlace = m_file.open(QIODevice::WriteOnly);
        return m_inPlace;
    }

    void discard()
    {
        if (!m_file.isOpen())
            return;
        m_file.cancelWriting();
        // A cancelled commit removes the temporary file and reports false.
        (void)m_file.commit();
        restoreInPlace();
    }

    void restoreInPlace()
    {
        if (!m_inPlace)
            return;
        QFile file(m_file.fileName());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(m_oldContent);
    }

    SystemService &m_system;
    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<QIODevice> m_filter;
    QIODevice *m_device = nullptr; // the filter, or the file
    QByteArray m_oldContent; // written in place: what to put back
    QString m_reason; // why the first write failed
    qint64 m_writebackStart = 0; // where the bytes not yet sent to the disk begin
    int m_endHook = 0;
    bool m_closed = false;
    bool m_failed = false;
    bool m_inPlace = false;
};

} // namespace

SaveFileWriter::SaveFileWriter(SystemService &system, DeviceFilter filter)
    : m_system(system)
    , m_filter(std::move(filter))
{
}

std::unique_ptr<TextFile> SaveFileWriter::create(const QString &path)
{
    if (path.isEmpty())
        throw Failure(QStringLiteral("Bad file name or number"));
    return std::make_unique<SaveFile>(m_system, path, m_filter);
}

} // namespace quarrelby
