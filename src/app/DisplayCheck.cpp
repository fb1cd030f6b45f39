#include "app/DisplayCheck.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace quarrelby {

namespace {

struct Held {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler g_previous = nullptr;
QList<Held> g_held;

void checkDisplay(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fputs("quarrelby: no display was found for the window; quarrelby --books and quarrelby --export work "
                   "without one.\n",
            stderr);
        // Nothing of the program has started yet, and Qt is half made:
        // no exit handlers.
        std::_Exit(1);
    }
    if (context.category && std::strncmp(context.category, "qt.qpa", 6) == 0) {
        g_held.append({type, context.category, text});
        return;
    }
    g_previous(type, context, text);
}

} // namespace

void beginDisplayCheck()
{
    g_previous = qInstallMessageHandler(checkDisplay);
}

void endDisplayCheck()
{
    qInstallMessageHandler(g_previous);
    for (const Held &held : std::exchange(g_held, {})) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        g_previous(held.type, context, held.text);
    }
}

} // namespace quarrelby
