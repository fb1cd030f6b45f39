#pragma once

#include <QWidget>

class QToolButton;

namespace quarrelby {

// A window's own title bar where the desktop draws none for it: a Wayland
// compositor may leave that to the program, and the bar Qt draws then offers
// a maximise button to a window of fixed size and cuts a dialog's title to
// its first letter. This one offers only what the window does: its icon and
// whole title, moving it, and closing it (and minimising a main window).
// It spans the top of its window and draws the line around it.
class TitleBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 30;
    // The line around the window and under the bar.
    static constexpr QRgb kEdge = 0xffb0b0b0;
    enum class Buttons { Close, MinimiseAndClose };

    TitleBar(QWidget *window, Buttons buttons);

    // The narrowest window that shows the whole title between the buttons.
    [[nodiscard]] int widthForTitle() const;
    [[nodiscard]] static int widthForTitle(const QString &title, Buttons buttons);
    // Makes a window wide enough for a title on a bar.
    static void widenForTitle(QWidget &window, Buttons buttons, const QString &title);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    enum class Glyph { Minimise, Close };
    QToolButton *addButton(const char *name, Glyph glyph, const QString &label);
    void fitWindow();
    [[nodiscard]] Buttons buttons() const { return m_minimise ? Buttons::MinimiseAndClose : Buttons::Close; }
    [[nodiscard]] static int titleSide(Buttons buttons);
    [[nodiscard]] static QFont barFont();

    QToolButton *m_minimise = nullptr;
    QToolButton *m_close = nullptr;
};

} // namespace quarrelby
