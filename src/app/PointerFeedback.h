#pragma once

#include <QCursor>
#include <QHash>
#include <QObject>

class QWidget;

namespace quarrelby {

class MousePointer;

// The hover handlers of the window: a move over a button asks for the hand
// (99), a move over the background, the list or a frame for the arrow (0),
// and neither replaces the hourglass (11). Moves over the check boxes are not
// watched, so the pointer keeps its value there.
class PointerFeedback : public QObject {
    Q_OBJECT

public:
    explicit PointerFeedback(MousePointer &pointer, QObject *parent = nullptr);

    // A move over the control asks for the value: Custom over a button,
    // Default over a surface.
    void watch(QWidget *control, int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MousePointer &m_pointer;
    // The value that a move over each watched control asks for.
    QHash<const QObject *, int> m_values;
};

// A Windows cursor file (.cur) as a cursor with the file's hotspot. Throws
// Failure("Invalid picture") when the file is not a picture.
[[nodiscard]] QCursor loadCursorFile(const QString &path);

} // namespace quarrelby
