#pragma once

#include <QIcon>
#include <QString>

#include <functional>

class QWidget;

namespace quarrelby {

class MainWindow;

// The product display name: the window caption and the source of the
// application title.
inline constexpr char kProductName[] = "Quarrelby";
inline constexpr char kHomePageAddress[] = "https://quarrelby.org/";

// Files that start-up looks for in the program folder; both may be missing.
inline constexpr char kSkinFile[] = "/x/o.cjs";
inline constexpr char kCursorFile[] = "/HAND-M.CUR";

// A number in [0, 1): the draw that decides whether the home page opens.
using RandomDraw = std::function<double()>;
// The product's draw, from a generator seeded with the time of day.
[[nodiscard]] double timerDraw();

// The title rule: cut the last word at least once, and again while the text
// is longer than 40 characters; a text without a space stays whole.
[[nodiscard]] QString applicationTitleFor(const QString &displayName);

// The application's icon: 32, 48, 128 and 256 pixels.
[[nodiscard]] QIcon applicationIcon();

// Start-up of the window, before it is shown: skin, hand cursor, the
// occasional home page, caption, icon, title, the 33 columns, and last the
// check that the contact store opens (which ends the program when it does
// not).
void loadMainWindow(MainWindow &window, const RandomDraw &draw = timerDraw);

// Shows the window centred on its screen.
void showCentred(QWidget &window);

} // namespace quarrelby
