#pragma once

#include "ScriptedBooks.h"
#include "ScriptedShell.h"
#include "app/Form1.h"
#include "platform/Automation.h"

#include <QTemporaryDir>

#include <memory>

namespace quarrelby::test {

// The real main window over scripted platform services, with a temporary
// program folder and a contact store that opens.
struct TestWindow {
    ScriptedShell shell;
    AutomationFactory automation;
    ScriptedBooks books;
    QTemporaryDir programFolder;
    std::unique_ptr<Form1> form;

    TestWindow();
    // Builds the window without loading it.
    Form1 &create();
    // Builds and loads it; the draw decides the home page (never by default).
    Form1 &load(double draw = 0.5);
    // Loads, shows and waits until the window is on screen.
    Form1 &show();

    // Writes a file into the program folder (sub-folders are made).
    void writeProgramFile(const QString &name, const QByteArray &contents) const;
};

} // namespace quarrelby::test
