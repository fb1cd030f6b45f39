#pragma once

#include <functional>

namespace quarrelby {

class AddressBooks;
class AutomationFactory;
class MousePointer;
class ResultList;
class Shell;
class Spreadsheets;
class TextFileWriter;

// What the actions behind the window's buttons use of the window and the
// platform. Form1 hands its own; tests build one from stand-ins.
struct FormContext {
    Shell &shell;
    AutomationFactory &automation;
    ResultList &list; // ListView1
    MousePointer &pointer; // Form1.MousePointer
    // chkData(n).Value: 1 ticked, 0 not.
    std::function<int(int n)> chkData;
    // Where the two file exports write; only they need one.
    TextFileWriter *files = nullptr;
    // The user's address books; only the extraction needs them.
    AddressBooks *books = nullptr;
    // The spreadsheet program; without one the workbook export says that
    // Excel is not installed.
    Spreadsheets *spreadsheets = nullptr;
};

} // namespace quarrelby
