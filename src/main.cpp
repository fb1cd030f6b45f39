#include "app/DisplayCheck.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "cli/CommandLine.h"
#include "platform/Failure.h"
#include "platform/PrivateFolder.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/QtShell.h"
#include "platform/workbook/ShownWorkbook.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // What a killed run left: its private copies of books, its workbook.
    quarrelby::sweepPrivateFolders();
    if (argc > 1 && !quarrelby::startsTheWindow(argc, argv))
        return quarrelby::runCommandLine(argc, argv);
    quarrelby::removeLiveFoldersOnSignals();
    quarrelby::beginDisplayCheck();
    QApplication app(argc, argv);
    quarrelby::endDisplayCheck();
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
    try {
        quarrelby::removeUnusedWorkbookFolders(quarrelby::temporaryFolder());
    } catch (const quarrelby::Failure &) {
        // No temporary folder, so nothing left in one.
    }
    return QApplication::exec();
}
