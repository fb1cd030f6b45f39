// quarrelby-generate-contacts: writes a large, varied address book for trying
// the program or measuring it.
//
//   quarrelby-generate-contacts COUNT FILE.vcf      one file with COUNT cards
//   quarrelby-generate-contacts --folder COUNT DIR  one file per card in DIR
//   quarrelby-generate-contacts --eds COUNT FILE.db the cards as an Evolution book
//   quarrelby-generate-contacts --thunderbird COUNT abook.sqlite
//                                                   the cards as a Thunderbird book

#include "ContactGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);
    const bool folder = !args.isEmpty() && args.first() == QLatin1String("--folder");
    const bool eds = !args.isEmpty() && args.first() == QLatin1String("--eds");
    const bool thunderbird = !args.isEmpty() && args.first() == QLatin1String("--thunderbird");
    if (folder || eds || thunderbird)
        args.removeFirst();
    bool ok = false;
    const int count = args.value(0).toInt(&ok);
    if (args.size() != 2 || !ok || count < 0) {
        err << "usage: quarrelby-generate-contacts [--folder | --eds | --thunderbird] COUNT PATH\n";
        return 2;
    }
    const QString path = args.at(1);
    if (folder && !QDir().mkpath(path)) {
        err << "cannot create " << path << '\n';
        return 1;
    }
    const bool written = folder ? quarrelby::bench::writeAddressBookFolder(path, count)
        : eds                   ? quarrelby::bench::writeEdsBook(path, count)
        : thunderbird           ? quarrelby::bench::writeThunderbirdBook(path, count)
                                : quarrelby::bench::writeAddressBookFile(path, count);
    if (!written) {
        err << "cannot write " << path << '\n';
        return 1;
    }
    return 0;
}
