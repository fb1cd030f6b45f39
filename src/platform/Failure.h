#pragma once

#include <QString>

#include <exception>
#include <system_error>

namespace quarrelby {

// A failure of a platform service or a step. The description is the text the
// user sees in the error report, so it must be readable on its own.
class Failure : public std::exception {
public:
    explicit Failure(QString description)
        : m_description(std::move(description))
        , m_utf8(m_description.toUtf8())
    {
    }

    [[nodiscard]] const QString &description() const noexcept { return m_description; }
    [[nodiscard]] const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// What the system says of an error number (errno), such as "No space left on
// device": the reason a user can act on.
[[nodiscard]] inline QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::generic_category().message(error));
}

} // namespace quarrelby
