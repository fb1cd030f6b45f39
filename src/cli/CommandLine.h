#pragma once

namespace quarrelby {

// The program run with arguments: lists the address books or exports the
// table without a window (no display, no desktop session needed). Returns
// the exit status: 0 all went well, 1 a book or the output failed, 2 a usage
// error.
[[nodiscard]] int runCommandLine(int argc, char *argv[]);

// Whether the arguments are only Qt's own options for the window
// ("-platform offscreen", "-style Fusion", the "-session" a session manager
// passes to restore the program), which start the window as no arguments
// do.
[[nodiscard]] bool startsTheWindow(int argc, char *argv[]);

} // namespace quarrelby
