#pragma once

#include "core/TableEncoders.h"
#include "format/Omissions.h"
#include "platform/AddressBooks.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <string_view>

namespace quarrelby {

// The outputs that carry every field: whole contacts into the bytes of one
// file. vCard 3.0 (RFC 2426) and 4.0 (RFC 6350), CR LF, folded at 75
// octets. The CSV files of Outlook and of Google Contacts, with the headers
// their own importers recognise without mapping, quoted as RFC 4180 says,
// every row as long as the header, CR LF:
// - Outlook: the 92 columns Outlook's own "Comma Separated Values" export
//   writes ("Title", "First Name", ..., "Web Page"), as GNOME Evolution's
//   Outlook CSV importer (evolution-csv-importer.c, csv_fields_outlook) and
//   Roundcube (rcube_csv2vcard, "MS Outlook 2010") list them; with a UTF-8
//   byte-order mark, without which Outlook reads a CSV file in the
//   system's ANSI code page.
// - Google: the columns of the template Google Contacts offers for import
//   ("Name Prefix", "First Name", ..., "E-mail 1 - Label", "E-mail 1 -
//   Value", ..., "Notes", "Labels"), each numbered group repeated as often
//   as the contact with the most of it needs, as Google's own export does;
//   UTF-8 without a byte-order mark.
enum class CardFormat { VCard3, VCard4, OutlookCsv, GoogleCsv };

class CardEncoder {
public:
    CardEncoder(CardFormat format, ByteSink sink);
    ~CardEncoder();
    CardEncoder(const CardEncoder &) = delete;
    CardEncoder &operator=(const CardEncoder &) = delete;

    // One contact whole: the vCard text its book keeps (any version, UTF-16
    // too), or the one made of the book's properties.
    void add(std::string_view card);
    // The same, made into a piece by a CardPieces of this format, on any
    // thread; omitted is what that counted.
    void addPiece(std::string_view piece, const Omissions &omitted);
    // Hands over the rest. The Google CSV, whose header counts the groups of
    // every contact, is written only here.
    void finish();
    // What the format had no room for: the distribution lists vCard 3.0
    // cannot hold, the fields a CSV has no column for.
    [[nodiscard]] const Omissions &omitted() const;

    class Format;

private:
    std::unique_ptr<Format> m_format;
};

// The work of CardEncoder::add() for one contact, for a thread of its own:
// the piece CardEncoder::addPiece() puts in the file. One per thread.
class CardPieces : public CardTransform {
public:
    explicit CardPieces(CardFormat format);
    ~CardPieces() override;
    CardPieces(const CardPieces &) = delete;
    CardPieces &operator=(const CardPieces &) = delete;

    void transform(std::string_view card, std::string &out, Omissions &omitted) override;

private:
    std::unique_ptr<CardEncoder::Format> m_format;
};

// What was left out, worded for the user: "412 e-mail addresses past the
// third and 57 nicknames are not in the table; --export vcard keeps every
// field", with where = "the table" and remedy = "--export vcard keeps every
// field". Empty when nothing was left out.
[[nodiscard]] QString omissionWarning(const Omissions &omitted, QStringView where, QStringView remedy);

} // namespace quarrelby
