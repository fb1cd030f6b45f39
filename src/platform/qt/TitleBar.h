#pragma once

#include <QWidget>

class QToolButton;

namespace quarrelby {

// The window's own title bar where the desktop does not draw one for it: a
// Wayland compositor leaves that to the program, and the bar Qt draws then
// offers a maximise button to a window of fixed size. This one offers only
// what the window does: its icon and title, moving it, minimising and
// closing.
class TitleBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 30;
    // The line around the window and under the bar.
    static constexpr QRgb kEdge = 0xffb0b0b0;
    enum class Glyph { Minimise, Close };

    explicit TitleBar(QWidget *window);

    // True where the window must draw its own title bar: on Wayland.
    [[nodiscard]] static bool needed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QToolButton *button(const char *name, Glyph glyph, const QString &tip);
};

} // namespace quarrelby
