#include "cli/CommandLine.h"

#include "cli/BookList.h"
#include "cli/CardExport.h"
#include "cli/Console.h"
#include "cli/Output.h"
#include "cli/TableExport.h"
#include "platform/PrivateFolder.h"
#include "platform/contacts/BookFiles.h"
#include "platform/contacts/ContactStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace quarrelby {

namespace {

struct Options {
    QCommandLineOption books {QStringLiteral("books"),
        QStringLiteral("List the address books found, one per line in the order they are read: kind, number of "
                       "contacts, path.")};
    QCommandLineOption format {QStringLiteral("export"),
        QStringLiteral("Write every contact as <format>. The table of 33 columns: text (aligned columns), csv "
                       "(comma-delimited) or xlsx (a workbook; needs --output). Every field: vcard (vCard 3.0, "
                       "without distribution lists), vcard4 (vCard 4.0), outlook-csv or google-csv (the CSV files "
                       "Outlook and Google Contacts import)."),
        QStringLiteral("format")};
    QCommandLineOption output {{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to <file>, replacing it once it is complete. Without it, or with -, every format "
                       "but xlsx goes to standard output."),
        QStringLiteral("file")};
    QCommandLineOption book {{QStringLiteral("b"), QStringLiteral("book")},
        QStringLiteral("Read the address book at <path> (a file or folder, recognised by its content) instead of "
                       "those found; repeat it for several. Overrides QUARRELBY_CONTACTS."),
        QStringLiteral("path")};
};

// Qt's own options, which the window takes (QGuiApplication and QApplication
// read them from the arguments), with whether each takes a value.
struct QtOption {
    std::string_view name;
    bool value;
};
constexpr QtOption kQtOptions[] = {{"platform", true}, {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true}, {"qwindowgeometry", true}, {"qwindowicon", true}, {"qwindowtitle", true}, {"session", true},
    {"style", true}, {"stylesheet", true}, {"display", true}, {"name", true}, {"visual", true}, {"geometry", true},
    {"icon", true}, {"title", true}, {"qmljsdebugger", true}, {"reverse", false}, {"nograb", false}, {"dograb", false},
    {"sync", false}, {"testability", false}, {"widgetcount", false}};

// What --help-all adds to --help.
constexpr char kQtOptionsHelp[] = R"(
Options of the window (Qt's own; given alone, they start the window):
  -platform <name>              The display platform: wayland, xcb or offscreen.
  -display <display>            The X server to show the window on.
  -style <style>                The widget style, such as Fusion.
  -stylesheet <file>            A Qt style sheet applied to the window.
  -session <session>            The session a session manager restores.
  -qwindowgeometry <geometry>   The window's place, such as +100+50.
  -reverse                      Lays the window out from right to left.
)";

// What was asked for, or a usage error.
struct Request {
    bool listBooks = false;
    TableFormat format = TableFormat::Csv;
    std::optional<CardFormat> cards; // instead of the table
    QByteArray output; // empty: standard output
    std::vector<QByteArray> books; // none: discovery or QUARRELBY_CONTACTS
};

int usageError(const QString &text)
{
    tell(text);
    tell(QStringLiteral("Try 'quarrelby --help' for more information."));
    return kExitUsage;
}

// An argument as text that keeps every byte of it: UTF-8 is decoded, and
// any byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC00 + byte, which valid UTF-8 never decodes to. A file name in another
// encoding (Latin-1 "Adressb\xfccher.vcf") so comes back as it was.
QString argumentText(const QByteArray &bytes)
{
    QString text;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = data[i];
        int length = lead < 0x80           ? 1
            : lead >= 0xC2 && lead <= 0xDF ? 2
            : lead >= 0xE0 && lead <= 0xEF ? 3
            : lead >= 0xF0 && lead <= 0xF4 ? 4
                                           : 0;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            if (i + k >= size || (data[i + k] & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            point = (point << 6) | (data[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and points past U+10FFFF are no UTF-8.
        const bool valid = length == 1 || (length == 2)
            || (length == 3 && point >= 0x800 && (point < 0xD800 || point > 0xDFFF))
            || (length == 4 && point >= 0x10000 && point <= 0x10FFFF);
        if (length == 0 || !valid) {
            text += QChar(char16_t(0xDC00 + lead));
            ++i;
            continue;
        }
        text += QString::fromUcs4(&point, 1);
        i += length;
    }
    return text;
}

// The bytes argumentText() was made from.
QByteArray argumentBytes(const QString &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const bool paired = QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (unit >= 0xDC80 && unit <= 0xDCFF && !(i > 0 && text[i - 1].isHighSurrogate())) {
            bytes += char(unit - 0xDC00);
        } else {
            bytes += QStringView(text).mid(i, paired ? 2 : 1).toUtf8();
            i += paired ? 1 : 0;
        }
    }
    return bytes;
}

// The format named, into request; false for a name that is none.
bool formatNamed(const QString &name, Request &request)
{
    constexpr std::pair<const char *, TableFormat> tables[]
        = {{"text", TableFormat::Text}, {"csv", TableFormat::Csv}, {"xlsx", TableFormat::Xlsx}};
    constexpr std::pair<const char *, CardFormat> cards[] = {{"vcard", CardFormat::VCard3},
        {"vcard4", CardFormat::VCard4}, {"outlook-csv", CardFormat::OutlookCsv}, {"google-csv", CardFormat::GoogleCsv}};
    for (const auto &[text, format] : tables) {
        if (name == QLatin1String(text)) {
            request.format = format;
            return true;
        }
    }
    for (const auto &[text, format] : cards) {
        if (name == QLatin1String(text)) {
            request.cards = format;
            return true;
        }
    }
    return false;
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
        request.books.push_back(argumentBytes(book));
    }
    if (request.listBooks)
        return std::nullopt;
    if (!formatNamed(formats.first(), request))
        return usageError(
            QStringLiteral("Unknown format \"%1\": use text, csv, xlsx, vcard, vcard4, outlook-csv or google-csv.")
                .arg(formats.first()));
    if (outputs.size() == 1 && outputs.first().isEmpty())
        return usageError(QStringLiteral("--output needs a file name, or - for standard output."));
    request.output
        = outputs.isEmpty() || outputs.first() == QLatin1String("-") ? QByteArray() : argumentBytes(outputs.first());
    if (!request.cards && request.format == TableFormat::Xlsx && request.output.isEmpty())
        return usageError(QStringLiteral("xlsx needs --output FILE: a workbook does not go to standard output."));
    return std::nullopt;
}

// What to say when there is no book to read.
QString noBookText(const Request &request, const FoundBooks &found)
{
    if (request.books.empty())
        return searchedPlacesText(found);
    QString text = QStringLiteral("None of the address books named by --book exists:");
    for (const QByteArray &book : request.books)
        text += QStringLiteral("\n") + QFile::decodeName(book);
    return text;
}

// The book that reads the file output would write: an address book is
// never written over by its own table, nor given a new card. Empty when
// there is none.
QByteArray bookReading(const FoundBooks &found, const Output &output)
{
    const QByteArray &file = output.file();
    if (file.isEmpty())
        return {};
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash == 0 ? QByteArray("/") : file.left(slash);
    for (const auto *books : {&found.books, &found.fallback}) {
        for (const FoundBook &book : *books) {
            if (bookReads(book, folder, file.mid(slash + 1)))
                return book.path;
        }
    }
    return {};
}

int run(const Request &request)
{
    const std::unique_ptr<ContactStore> store
        = request.books.empty() ? std::make_unique<ContactStore>() : std::make_unique<ContactStore>(request.books);
    FoundBooks found = store->find();
    if (found.empty()) {
        tell(noBookText(request, found));
        return kExitFailed;
    }
    if (request.listBooks)
        return listBooks(*store, found);
    std::optional<Output> output;
    try {
        output.emplace(request.output);
    } catch (const Failure &error) {
        tell(error.description());
        return kExitFailed;
    }
    if (const QByteArray book = bookReading(found, *output); !book.isEmpty()) {
        struct stat bookFile { };
        struct stat outputFile { };
        const bool exists = ::stat(output->file().constData(), &outputFile) == 0;
        const bool isBook = exists && ::stat(book.constData(), &bookFile) == 0 && S_ISREG(bookFile.st_mode)
            && bookFile.st_ino == outputFile.st_ino && bookFile.st_dev == outputFile.st_dev;
        const QString what = request.cards ? QStringLiteral("the contacts are") : QStringLiteral("the table is");
        const QString text = isBook ? QStringLiteral("%1 is the address book %2; %3 not written over it.")
            : exists ? QStringLiteral("%1 is read as part of the address book %2; %3 not written over it.")
                     : QStringLiteral("%1 would be read as part of the address book %2; %3 not written there.");
        tell(text.arg(output->shown(), QFile::decodeName(book), what));
        return kExitFailed;
    }
    if (request.cards)
        return exportCards(*store, std::move(found), *request.cards, *output);
    return exportTable(*store, std::move(found), request.format, *output);
}

} // namespace

bool startsTheWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        std::string_view argument(argv[i]);
        if (!argument.starts_with('-') || argument.size() < 2)
            return false;
        argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
        const size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        bool known = false;
        for (const QtOption &option : kQtOptions) {
            if (option.name != name)
                continue;
            known = true;
            if (option.value && equals == std::string_view::npos)
                ++i;
        }
        if (!known || i >= argc)
            return false;
    }
    return true;
}

int runCommandLine(int argc, char *argv[])
{
    // No QGuiApplication: this runs where there is no display at all.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarrelby"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARRELBY_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the address books of this computer, or writes the contacts of all of them as a table, "
                       "or whole as vCards or CSV files to import elsewhere.\n"
                       "Without any argument, Quarrelby opens its window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options options;
    parser.addOptions({options.books, options.format, options.output, options.book});
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << argumentText(QByteArray(argv[i]));
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help-all"))) {
        const QByteArray text = parser.helpText().toUtf8() + kQtOptionsHelp;
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        return kExitOk;
    }
    if (parser.isSet(help))
        parser.showHelp(kExitOk);
    if (parser.isSet(version))
        parser.showVersion();

    Request request;
    if (const std::optional<int> status = readRequest(parser, options, request))
        return *status;
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
