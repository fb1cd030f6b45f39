#include "platform/qt/SaveFileSystem.h"

#include "platform/AutomationError.h"
#include "platform/Shell.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace quarrelby {

namespace {

// A file being saved. Until Close commits it, the bytes live in a temporary
// file that QSaveFile removes when it is destroyed; the end hook does the
// same if the program ends at once in the middle of a save, when no
// destructor runs.
class SaveFileStream : public TextStream {
public:
    SaveFileStream(SystemService &shell, const QString &path, const SaveFileSystemObject::DeviceFilter &filter)
        : m_shell(shell)
        , m_path(QDir::toNativeSeparators(path))
        , m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly))
            throw AutomationError(QStringLiteral("Cannot create %1: %2").arg(m_path, m_file.errorString()));
        if (filter)
            m_filter = filter(m_file);
        m_lines = std::make_unique<DeviceTextStream>(m_filter ? *m_filter : static_cast<QIODevice &>(m_file), m_path);
        m_endHook = m_shell.addEndHook([this] { discard(); });
    }

    ~SaveFileStream() override
    {
        m_shell.removeEndHook(m_endHook);
        discard();
    }

    SaveFileStream(const SaveFileStream &) = delete;
    SaveFileStream &operator=(const SaveFileStream &) = delete;

    void WriteLine(const QString &line) override
    {
        // Closed, or discarded by the end hook.
        if (m_closed || !m_file.isOpen())
            throw AutomationError(QStringLiteral("Bad file mode"));
        m_lines->WriteLine(line);
    }

    void Close() override
    {
        if (m_closed)
            return;
        m_closed = true;
        m_lines->Close();
        if (m_filter)
            m_filter->close();
        if (!m_file.commit())
            throw AutomationError(QStringLiteral("Cannot save %1: %2").arg(m_path, m_file.errorString()));
    }

private:
    void discard()
    {
        if (m_file.isOpen()) {
            m_file.cancelWriting();
            // A cancelled commit removes the temporary file and reports false.
            (void)m_file.commit();
        }
    }

    SystemService &m_shell;
    QString m_path;
    QSaveFile m_file;
    std::unique_ptr<QIODevice> m_filter;
    std::unique_ptr<DeviceTextStream> m_lines;
    int m_endHook = 0;
    bool m_closed = false;
};

} // namespace

DeviceTextStream::DeviceTextStream(QIODevice &device, QString name)
    : m_device(device)
    , m_name(std::move(name))
    // Stateless: a lone surrogate at the end of one line must not pair up
    // with the start of the next.
    , m_encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless)
{
}

void DeviceTextStream::fail()
{
    m_failed = true;
    QString reason = m_device.errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        reason = QStringLiteral("Device I/O error");
    throw AutomationError(QStringLiteral("Cannot write %1: %2").arg(m_name, reason));
}

void DeviceTextStream::WriteLine(const QString &line)
{
    if (m_failed)
        fail();
    const qsizetype needed = m_encoder.requiredSpace(line.size()) + 2;
    if (m_buffer.size() < needed)
        m_buffer.resize(needed);
    char *end = m_encoder.appendToBuffer(m_buffer.data(), line);
    *end++ = '\r';
    *end++ = '\n';
    const qint64 size = end - m_buffer.constData();
    if (m_device.write(m_buffer.constData(), size) != size)
        fail();
}

void DeviceTextStream::Close()
{
    if (m_failed)
        fail();
}

SaveFileSystemObject::SaveFileSystemObject(SystemService &shell, DeviceFilter filter)
    : m_shell(shell)
    , m_filter(std::move(filter))
{
}

std::unique_ptr<TextStream> SaveFileSystemObject::CreateTextFile(const QString &path, bool overwrite)
{
    if (path.isEmpty())
        throw AutomationError(QStringLiteral("Bad file name or number"));
    if (!overwrite && QFileInfo::exists(path))
        throw AutomationError(QStringLiteral("File already exists"));
    return std::make_unique<SaveFileStream>(m_shell, path, m_filter);
}

} // namespace quarrelby
