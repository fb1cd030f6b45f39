#include "app/Form1.h"
#include "platform/Automation.h"
#include "platform/PlatformClasses.h"
#include "platform/QtShell.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quarrelby::QtShell shell;
    quarrelby::AutomationFactory automation;
    quarrelby::registerPlatformClasses(automation, shell);

    quarrelby::Form1 window(shell, automation);
    shell.setMainWindow(&window);
    window.setWindowTitle(QStringLiteral("Quarrelby"));
    window.show();
    return QApplication::exec();
}
