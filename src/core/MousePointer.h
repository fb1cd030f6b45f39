#pragma once

#include <QObject>

namespace quarrelby {

// The window's mouse pointer: one value for the whole window.
class MousePointer : public QObject {
    Q_OBJECT

public:
    static constexpr int Default = 0; // the arrow
    static constexpr int Hourglass = 11; // busy
    static constexpr int Custom = 99; // the hand picture

    using QObject::QObject;

    [[nodiscard]] int value() const { return m_value; }
    void setValue(int value)
    {
        if (value == m_value)
            return;
        m_value = value;
        emit changed(value);
    }
    [[nodiscard]] bool busy() const { return m_value == Hourglass; }

signals:
    void changed(int value);

private:
    int m_value = Default;
};

} // namespace quarrelby
