#pragma once

#include <QCursor>
#include <QHash>
#include <QObject>

#include <optional>

class QWidget;

namespace quarrelby {

class BusyState;

// The window's pointer. While a long action runs it is the busy cursor, over
// every control. Otherwise a move over a button asks for the hand and a move
// over the background, the list or a frame for the arrow; moves over the
// check boxes are not watched, so the pointer keeps its shape there. The end
// of a long action brings back the arrow until the next move.
class PointerFeedback : public QObject {
    Q_OBJECT

public:
    enum class Shape { Arrow, Hand, Busy };
    Q_ENUM(Shape)

    PointerFeedback(QWidget &window, const BusyState &busy);

    // A move over the control asks for shape (Arrow or Hand).
    void watch(QWidget *control, Shape shape);

    // What the window shows now.
    [[nodiscard]] Shape shape() const;

    // The picture the hand shows; Qt's pointing hand when none.
    void setHandPicture(std::optional<QCursor> picture);
    [[nodiscard]] const std::optional<QCursor> &handPicture() const { return m_handPicture; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show();

    QWidget &m_window;
    const BusyState &m_busy;
    // The shape that a move over each watched control asks for.
    QHash<const QObject *, Shape> m_shapes;
    Shape m_hover = Shape::Arrow;
    std::optional<QCursor> m_handPicture;
};

// A Windows cursor file (.cur) as a cursor with the file's hotspot. Throws
// Failure("Invalid picture") when the file is not a picture.
[[nodiscard]] QCursor loadCursorFile(const QString &path);

} // namespace quarrelby
