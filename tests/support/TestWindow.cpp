#include "TestWindow.h"

#include "app/Startup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace quarrelby::test {

TestWindow::TestWindow()
{
    shell.folder = programFolder.path();
    shell.realFileSystem = true;
}

MainWindow &TestWindow::create()
{
    window = std::make_unique<MainWindow>(shell, books, spreadsheets);
    return *window;
}

MainWindow &TestWindow::load(double draw)
{
    create();
    loadMainWindow(*window, [draw] { return draw; });
    return *window;
}

MainWindow &TestWindow::show()
{
    load();
    showCentred(*window);
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not exposed");
    return *window;
}

void TestWindow::writeProgramFile(const QString &name, const QByteArray &contents) const
{
    const QString path = programFolder.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace quarrelby::test
