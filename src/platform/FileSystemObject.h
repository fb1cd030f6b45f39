#pragma once

#include "platform/Automation.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quarrelby {

// The stream that CreateTextFile hands out: each line as UTF-8 without a
// byte-order mark, followed by CR LF. A failed write throws AutomationError.
class TextStream {
public:
    virtual ~TextStream() = default;
    virtual void WriteLine(const QString &line) = 0;
    // Text already encoded as UTF-8, line ends included, written as it is: a
    // writer of many lines hands them over in large blocks.
    virtual void WriteBlock(QByteArrayView utf8) = 0;
    virtual void Close() = 0;
};

// "Scripting.FileSystemObject": text files written so that a failure never
// leaves a torn file in the target's place.
class FileSystemObject : public AutomationObject {
public:
    // Fails when overwrite is false and the file exists, or when the file
    // cannot be started (no such folder, no permission).
    [[nodiscard]] virtual std::unique_ptr<TextStream> CreateTextFile(const QString &path, bool overwrite = false) = 0;
};

} // namespace quarrelby
