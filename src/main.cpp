#include "app/Form1.h"
#include "app/PlatformClasses.h"
#include "app/Startup.h"
#include "cli/CommandLine.h"
#include "platform/Automation.h"
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
    quarrelby::AutomationFactory automation;
    quarrelby::registerPlatformClasses(automation, shell);

    quarrelby::ContactStore books;
    quarrelby::DesktopSpreadsheets spreadsheets(shell);
    quarrelby::Form1 window(shell, automation, books, &spreadsheets);
    shell.setMainWindow(&window);
    quarrelby::Form_Load(window);
    quarrelby::showCentred(window);
    // What earlier runs left for the spreadsheet program, now that it is done.
    quarrelby::removeUnusedWorkbookFolders(QDir::tempPath());
    return QApplication::exec();
}
