#pragma once

namespace quarrelby {

// Where no display answers (over SSH, from cron), Qt ends the program in
// the QApplication constructor with abort() and a paragraph that ends
// "Reinstalling the application may fix this problem". From
// beginDisplayCheck() until endDisplayCheck() that end is one line on
// standard error, that no display was found and that --books and --export
// work without one, and status 1; Qt's warnings about its display platform
// are held back meanwhile, and passed on once the window could start.
void beginDisplayCheck();
void endDisplayCheck();

} // namespace quarrelby
