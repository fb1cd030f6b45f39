#pragma once

#include "platform/FileSystemObject.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <functional>
#include <memory>

class QIODevice;

namespace quarrelby {

class SystemService;

// A TextStream over any open device. A short or failed write throws, and so
// does every later call: the caller must not mistake a torn file for a saved
// one.
class DeviceTextStream : public TextStream {
public:
    DeviceTextStream(QIODevice &device, QString name);

    void WriteLine(const QString &line) override;
    void WriteBlock(QByteArrayView utf8) override;
    // Only reports an earlier failure; the owner of the device closes it.
    void Close() override;

    [[nodiscard]] bool failed() const { return m_failed; }

private:
    // systemError: errno after the failed write, or 0.
    [[noreturn]] void fail(int systemError);

    QIODevice &m_device;
    QString m_name;
    QStringEncoder m_encoder;
    QByteArray m_buffer;
    QString m_reason;
    bool m_failed = false;
};

// "Scripting.FileSystemObject" over QSaveFile: the
// lines go to a new file beside the target, and only Close puts it in the
// target's place, in one step. Any failure before that, or a stream released
// without Close, leaves the old file as it was and no partial file behind.
class SaveFileSystemObject : public FileSystemObject {
public:
    // Puts a device of its own between the stream and the file being written
    // (a test uses one that fails after some bytes). Null means none.
    using DeviceFilter = std::function<std::unique_ptr<QIODevice>(QIODevice &file)>;

    explicit SaveFileSystemObject(SystemService &shell, DeviceFilter filter = {});

    [[nodiscard]] std::unique_ptr<TextStream> CreateTextFile(const QString &path, bool overwrite = false) override;

private:
    SystemService &m_shell;
    DeviceFilter m_filter;
};

} // namespace quarrelby
