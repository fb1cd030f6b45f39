#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>

#include <utility>
#include <vector>

class QScrollBar;
class QWidget;

namespace quarrelby {

// A window of fixed size on a screen too small for it (a laptop at 200 %, a
// large font): the window takes the room there is, its title bar stays on
// the screen, and its controls scroll under two scroll bars, following the
// keyboard focus. Where it fits, nothing changes.
class ScreenFit : public QObject {
    Q_OBJECT

public:
    // The window's size now is the size it is designed for.
    explicit ScreenFit(QWidget *window);

    // Sizes and places the window for the screen it is on.
    void fit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();
    // Takes in a title bar the window was given after this was made.
    bool noticeTitleBar();
    void scrollTo(QWidget *focus);
    QScrollBar *bar(Qt::Orientation orientation);

    QWidget *m_window;
    QSize m_design;
    // Where each control sits when nothing is scrolled; a bar drawn by the
    // window itself (a title bar) does not scroll and is not listed.
    std::vector<std::pair<QPointer<QWidget>, QPoint>> m_places;
    int m_top = 0;
    QScrollBar *m_horizontal = nullptr;
    QScrollBar *m_vertical = nullptr;
};

// Fits a window to its screen before it is shown (see ScreenFit).
void fitToScreen(QWidget &window);

} // namespace quarrelby
