#include "cli/CommandLine.h"

#include "cli/BookList.h"
#include "cli/Console.h"
#include "cli/TableExport.h"
#include "platform/contacts/ContactStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>

#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace quarrelby {

namespace {

struct Options {
    QCommandLineOption books {QStringLiteral("books"),
        QStringLiteral("List the address books found, one per line in the order they are read: kind, number of "
                       "contacts, path.")};
    QCommandLineOption format {QStringLiteral("export"),
        QStringLiteral("Write the table of every contact as <format>: text (aligned columns), csv (comma-delimited) "
                       "or xlsx (a workbook; needs --output)."),
        QStringLiteral("format")};
    QCommandLineOption output {{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to <file>, replacing it once it is complete. Without it, or with -, text and csv go "
                       "to standard output."),
        QStringLiteral("file")};
    QCommandLineOption book {{QStringLiteral("b"), QStringLiteral("book")},
        QStringLiteral("Read the address book at <path> (a file or folder, recognised by its content) instead of "
                       "those found; repeat it for several. Overrides QUARRELBY_CONTACTS."),
        QStringLiteral("path")};
};

// What was asked for, or a usage error.
struct Request {
    bool listBooks = false;
    TableFormat format = TableFormat::Csv;
    QString output; // empty: standard output
    std::vector<QByteArray> books; // none: discovery or QUARRELBY_CONTACTS
};

int usageError(const QString &text)
{
    tell(text);
    tell(QStringLiteral("Try 'quarrelby --help' for more information."));
    return kExitUsage;
}

std::optional<TableFormat> formatNamed(const QString &name)
{
    if (name == QLatin1String("text"))
        return TableFormat::Text;
    if (name == QLatin1String("csv"))
        return TableFormat::Csv;
    if (name == QLatin1String("xlsx"))
        return TableFormat::Xlsx;
    return std::nullopt;
}

// The request, or the exit status of a usage error.
std::optional<int> readRequest(const QCommandLineParser &parser, const Options &options, Request &request)
{
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first()));
    request.listBooks = parser.isSet(options.books);
    const QStringList formats = parser.values(options.format);
    if (request.listBooks == !formats.isEmpty())
        return usageError(QStringLiteral("Give either --books or --export FORMAT."));
    const QStringList outputs = parser.values(options.output);
    if (outputs.size() > 1 || formats.size() > 1)
        return usageError(QStringLiteral("--export and --output may be given once."));
    if (request.listBooks && !outputs.isEmpty())
        return usageError(QStringLiteral("--output goes with --export."));
    for (const QString &book : parser.values(options.book)) {
        if (book.isEmpty())
            return usageError(QStringLiteral("--book needs the path of an address book."));
        request.books.push_back(QFile::encodeName(book));
    }
    if (request.listBooks)
        return std::nullopt;
    const std::optional<TableFormat> format = formatNamed(formats.first());
    if (!format)
        return usageError(QStringLiteral("Unknown format \"%1\": use text, csv or xlsx.").arg(formats.first()));
    request.format = *format;
    request.output = outputs.isEmpty() || outputs.first() == QLatin1String("-") ? QString() : outputs.first();
    if (outputs.size() == 1 && outputs.first().isEmpty())
        return usageError(QStringLiteral("--output needs a file name, or - for standard output."));
    if (request.format == TableFormat::Xlsx && request.output.isEmpty())
        return usageError(QStringLiteral("xlsx needs --output FILE: a workbook does not go to standard output."));
    return std::nullopt;
}

// The book that output would overwrite: an address book is never replaced
// by its own table. Empty when there is none.
QByteArray bookAt(const ContactStore &store, const QString &output)
{
    struct stat target { };
    if (output.isEmpty() || ::stat(QFile::encodeName(output).constData(), &target) != 0)
        return {};
    const FoundBooks found = store.find();
    for (const auto *books : {&found.books, &found.fallback}) {
        for (const FoundBook &book : *books) {
            struct stat info { };
            if (::stat(book.path.constData(), &info) == 0 && info.st_dev == target.st_dev
                && info.st_ino == target.st_ino)
                return book.path;
        }
    }
    return {};
}

int run(const Request &request)
{
    const std::unique_ptr<ContactStore> store
        = request.books.empty() ? std::make_unique<ContactStore>() : std::make_unique<ContactStore>(request.books);
    if (request.listBooks)
        return listBooks(*store);
    if (const QByteArray book = bookAt(*store, request.output); !book.isEmpty()) {
        tell(QStringLiteral("%1 is the address book %2; the table is not written over it.")
                 .arg(request.output, QFile::decodeName(book)));
        return kExitFailed;
    }
    return exportTable(*store, request.format, request.output);
}

} // namespace

int runCommandLine(int argc, char *argv[])
{
    // No QGuiApplication: this runs where there is no display at all.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarrelby"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARRELBY_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the address books of this computer, or writes the contacts of all of them as a table.\n"
                       "Without any argument, Quarrelby opens its window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options options;
    parser.addOptions({options.books, options.format, options.output, options.book});
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(kExitOk);
    if (parser.isSet(version))
        parser.showVersion();

    Request request;
    if (const std::optional<int> status = readRequest(parser, options, request))
        return *status;
    // Listing the books writes nothing that a signal would have to undo.
    if (!request.listBooks)
        catchInterruptions();
    int status = kExitFailed;
    try {
        status = run(request);
    } catch (const std::bad_alloc &) {
        tell(QStringLiteral("Out of memory."));
    }
    endIfInterrupted();
    return status;
}

} // namespace quarrelby
