#include "app/PointerFeedback.h"

#include "core/MousePointer.h"
#include "platform/Failure.h"

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

namespace quarrelby {

PointerFeedback::PointerFeedback(MousePointer &pointer, QObject *parent)
    : QObject(parent)
    , m_pointer(pointer)
{
}

void PointerFeedback::watch(QWidget *control, int value)
{
    m_values.insert(control, value);
    control->setMouseTracking(true);
    control->installEventFilter(this);
}

bool PointerFeedback::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseMove)
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    // A move that a child ignored travels on to its parent; only the control
    // that is really under the pointer counts (a button's move must not reach
    // the window's background handler).
    const auto *move = static_cast<QMouseEvent *>(event);
    if (widget->childAt(move->position().toPoint()))
        return false;
    if (!m_pointer.busy())
        m_pointer.setValue(m_values.value(watched, MousePointer::Default));
    return false;
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
