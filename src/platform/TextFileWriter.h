#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quarrelby {

// A file being written: blocks of bytes in, then one commit. Until the
// commit the target stays as it was; a file dropped without a commit, or one
// whose write failed, leaves it so. Failures throw Failure with the
// text the user sees.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual void write(QByteArrayView bytes) = 0;
    // Puts the file in the target's place, replacing what was there.
    virtual void commit() = 0;
};

// Writes text files so that a failure never leaves a torn file in the
// target's place.
class TextFileWriter {
public:
    virtual ~TextFileWriter() = default;
    // Fails when the file cannot be started (no such folder, no permission).
    [[nodiscard]] virtual std::unique_ptr<TextFile> create(const QString &path) = 0;
};

} // namespace quarrelby
