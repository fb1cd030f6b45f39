#include "app/PointerFeedback.h"

#include "core/BusyState.h"
#include "platform/Failure.h"

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

namespace quarrelby {

PointerFeedback::PointerFeedback(QWidget &window, const BusyState &busy)
    : QObject(&window)
    , m_window(window)
    , m_busy(busy)
{
    connect(&busy, &BusyState::changed, this, [this](bool busyNow) {
        if (!busyNow)
            m_hover = Shape::Arrow;
        show();
    });
}

void PointerFeedback::watch(QWidget *control, Shape shape)
{
    m_shapes.insert(control, shape);
    control->setMouseTracking(true);
    control->installEventFilter(this);
}

PointerFeedback::Shape PointerFeedback::shape() const
{
    return m_busy.busy() ? Shape::Busy : m_hover;
}

void PointerFeedback::setHandPicture(std::optional<QCursor> picture)
{
    m_handPicture = std::move(picture);
    show();
}

bool PointerFeedback::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseMove || m_busy.busy())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    // A move that a child ignored travels on to its parent; only the control
    // that is really under the pointer counts (a button's move must not reach
    // the window's background handler).
    const auto *move = static_cast<QMouseEvent *>(event);
    if (widget->childAt(move->position().toPoint()))
        return false;
    const Shape asked = m_shapes.value(watched, Shape::Arrow);
    if (asked != m_hover) {
        m_hover = asked;
        show();
    }
    return false;
}

void PointerFeedback::show()
{
    // The window's cursor is inherited by every control that has none of its
    // own, so the busy cursor covers the buttons and the list as well.
    switch (shape()) {
    case Shape::Arrow:
        m_window.unsetCursor();
        break;
    case Shape::Hand:
        m_window.setCursor(m_handPicture ? *m_handPicture : QCursor(Qt::PointingHandCursor));
        break;
    case Shape::Busy:
        m_window.setCursor(Qt::WaitCursor);
        break;
    }
}

QCursor loadCursorFile(const QString &path)
{
    const Failure invalid(QStringLiteral("Invalid picture"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw invalid;
    // A cursor file is far smaller than this; anything larger is no cursor.
    const QByteArray bytes = file.read(1 << 20);
    // Qt reads .cur through its icon reader, which skips the hotspot.
    const QImage image = QImage::fromData(bytes, "ico");
    if (image.isNull() || bytes.size() < 14)
        throw invalid;

    // Header: reserved, type (1 icon, 2 cursor), count; then the first
    // directory entry, whose planes and bit count hold a cursor's hotspot.
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const quint16 type = qFromLittleEndian<quint16>(data + 2);
    int x = image.width() / 2;
    int y = image.height() / 2;
    if (type == 2) {
        x = qBound(0, int(qFromLittleEndian<quint16>(data + 10)), image.width() - 1);
        y = qBound(0, int(qFromLittleEndian<quint16>(data + 12)), image.height() - 1);
    }
    return QCursor(QPixmap::fromImage(image), x, y);
}

} // namespace quarrelby
