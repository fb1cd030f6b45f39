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

Form1 &TestWindow::create()
{
    form = std::make_unique<Form1>(shell, automation, books);
    return *form;
}

Form1 &TestWindow::load(double draw)
{
    create();
    Form_Load(*form, [draw] { return draw; });
    return *form;
}

Form1 &TestWindow::show()
{
    load();
    showCentred(*form);
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("the window was not exposed");
    return *form;
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
