#pragma once

#include <QObject>

namespace quarrelby {

// Whether a long action is running. The extraction, the comma-delimited save
// and the workbook export are busy from their start to their end; they yield
// to the event loop, so Clear List and the removal of a row ask first and do
// nothing meanwhile. The window shows it as the busy pointer.
class BusyState : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    [[nodiscard]] bool busy() const { return m_busy; }

    // Busy while it lives, then as before: an action clicked inside another's
    // yield leaves the outer one busy when it ends.
    class Scope {
    public:
        explicit Scope(BusyState &state)
            : m_state(state)
            , m_before(state.m_busy)
        {
            state.set(true);
        }
        ~Scope() { m_state.set(m_before); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        BusyState &m_state;
        bool m_before;
    };

signals:
    void changed(bool busy);

private:
    void set(bool busy)
    {
        if (busy == m_busy)
            return;
        m_busy = busy;
        emit changed(busy);
    }

    bool m_busy = false;
};

} // namespace quarrelby
