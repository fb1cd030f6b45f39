#pragma once

#include "RecordingWorkbook.h"
#include "ScriptedBooks.h"
#include "ScriptedShell.h"
#include "app/MainWindow.h"

#include <QTemporaryDir>

#include <memory>

namespace quarrelby::test {

// The real main window over scripted platform services, with a temporary
// program folder, a contact store that opens and a recording spreadsheet
// program.
struct TestWindow {
    ScriptedShell shell;
    ScriptedBooks books;
    RecordingSpreadsheets spreadsheets;
    QTemporaryDir programFolder;
    std::unique_ptr<MainWindow> window;

    TestWindow();
    // Builds the window without loading it.
    MainWindow &create();
    // Builds and loads it; the draw decides the home page (never by default).
    MainWindow &load(double draw = 0.5);
    // Loads, shows and waits until the window is on screen.
    MainWindow &show();

    // Writes a file into the program folder (sub-folders are made).
    void writeProgramFile(const QString &name, const QByteArray &contents) const;
};

} // namespace quarrelby::test
