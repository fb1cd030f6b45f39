#pragma once

#include "platform/TextFileWriter.h"

#include <functional>
#include <memory>

class QIODevice;

namespace quarrelby {

class SystemService;

// The text-file writer over QSaveFile: the bytes go to a new file beside the
// target, and only the commit puts it in the target's place, in one step.
// Any failure before that, or a file released without a commit, leaves the
// old file as it was and no partial file behind. Where the folder allows no
// new file but the file itself may be written, it is written in place and
// its old content put back on failure.
class SaveFileWriter : public TextFileWriter {
public:
    // Puts a device of its own between the writer and the file being written
    // (a test uses one that fails after some bytes). Null means none.
    using DeviceFilter = std::function<std::unique_ptr<QIODevice>(QIODevice &file)>;

    explicit SaveFileWriter(SystemService &system, DeviceFilter filter = {});

    [[nodiscard]] std::unique_ptr<TextFile> create(const QString &path) override;

private:
    SystemService &m_system;
    DeviceFilter m_filter;
};

} // namespace quarrelby
