#include "app/MainWindow.h"
#include "app/Startup.h"
#include "cli/CommandLine.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/QtShell.h"
#include "platform/workbook/ShownWorkbook.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    if (argc > 1)
        return quarrelby::runCommandLine(argc, argv);
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("quarrelby"));
    QGuiApplication::setWindowIcon(quarrelby::applicationIcon());

    quarrelby::QtShell shell;
    quarrelby::ContactStore books;
    quarrelby::DesktopSpreadsheets spreadsheets(shell);
    quarrelby::MainWindow window(shell, books, spreadsheets);
    shell.setMainWindow(&window);
    quarrelby::loadMainWindow(window);
    quarrelby::showCentred(window);
    // What earlier runs left for the spreadsheet program, now that it is done.
    quarrelby::removeUnusedWorkbookFolders(QDir::tempPath());
    return QApplication::exec();
}
