#pragma once

#include "platform/qt/TitleBar.h"

class QDialog;
class QWidget;

namespace quarrelby {

// Who draws the title bars of the program's windows.
enum class TitleBars {
    Desktop, // X11, or a Wayland compositor that decorates windows itself
    Own, // a Wayland compositor that leaves them to the program
};

// On Wayland, whether the compositor offers to decorate windows (the
// xdg-decoration protocol: KWin, sway and the other wlroots desktops) or
// offers nothing (GNOME, weston); Own, too, once a compositor that offered
// has asked a window to decorate itself after all (sway's "border csd").
[[nodiscard]] TitleBars titleBarsHere();

// Gives a top-level window, before it is first shown, the title bar the
// desktop does not draw for it: its own at once where the compositor offers
// none, and later where one that offered leaves the bar to the window once it
// is shown. The window grows by the bar: its controls, or the margin of its
// layout, move down below it.
void provideTitleBar(QWidget &window, TitleBar::Buttons buttons);

// Has the compositor treat a modal dialog as the dialog of the window it
// belongs to: placed over it (GNOME puts a window it does not know for a
// dialog in the top-left corner), and asked to be shown again when that
// window gets the focus (sway raises a window that is clicked above its
// dialog, and the window, blocked by the dialog, then answers nothing).
// Before the dialog is first shown.
void treatAsDialog(QDialog &dialog);

} // namespace quarrelby
