// quarrelby-extract-csv: what the window does for "Extract Contacts From
// Outlook" then "Save Results As Comma-Delimited File", without the window:
// the real contact store fills the list, the real file writer saves it.
//
//   quarrelby-extract-csv BOOK OUT.csv
//
// BOOK is anything the store reads (a .vcf, a folder of cards), or
// --discover for the books the window finds itself (from HOME and the XDG
// variables). Prints the number of contacts and the seconds taken by the
// two steps together.

#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "actions/SaveAsCommaDelimited.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/contacts/ContactStore.h"
#include "platform/qt/SaveFileWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

using namespace quarrelby;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: quarrelby-extract-csv BOOK OUT.csv\n";
        return 2;
    }
    if (args.at(0) == QLatin1String("--discover"))
        qunsetenv("QUARRELBY_CONTACTS");
    else
        qputenv("QUARRELBY_CONTACTS", QFile::encodeName(args.at(0)));
    QFile::remove(args.at(1));

    test::ScriptedShell shell;
    ContactStore books;
    BusyState busy;
    ResultList list;
    for (const ContactField &f : fieldCatalogue())
        list.addColumn(QLatin1String(f.caption));
    ActionContext context {shell, list, busy, [](int) { return 1; }};

    QElapsedTimer timer;
    timer.start();
    readAddressBooks(context, books);
    SaveFileWriter files(shell);
    writeCommaDelimited(shell, files, list, args.at(1));
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;

    if (!shell.messages.isEmpty()) {
        err << "the program reported: " << shell.texts().join(QLatin1String(" | ")) << '\n';
        return 1;
    }
    out << list.itemCount() << " contacts in " << QString::number(seconds, 'f', 3) << " s\n";
    return 0;
}
