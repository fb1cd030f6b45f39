#pragma once

#include <functional>

namespace quarrelby {

class BusyState;
class ResultList;
class Shell;

// What the actions behind the window's buttons use of the window. The
// services an action needs beyond the shell (address books, a file writer,
// the spreadsheet program) are its own parameters. MainWindow hands its own;
// tests build one from stand-ins.
struct ActionContext {
    Shell &shell;
    ResultList &list;
    BusyState &busy;
    // Whether the box of field n is ticked.
    std::function<bool(int n)> fieldTicked;
};

} // namespace quarrelby
