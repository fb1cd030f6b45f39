#pragma once

#include <functional>

namespace quarrelby {

class AddressBooks;
class MousePointer;
class ResultList;
class Shell;
class Spreadsheets;
class TextFileWriter;

// What the actions behind the window's buttons use of the window and the
// platform. MainWindow hands its own; tests build one from stand-ins.
struct ActionContext {
    Shell &shell;
    ResultList &list;
    MousePointer &pointer;
    // Whether the box of field n is ticked.
    std::function<bool(int n)> fieldTicked;
    // Where the two file exports write; only they need one.
    TextFileWriter *files = nullptr;
    // The user's address books; only the extraction needs them.
    AddressBooks *books = nullptr;
    // The spreadsheet program; without one the workbook export says that
    // Excel is not installed.
    Spreadsheets *spreadsheets = nullptr;
};

} // namespace quarrelby
