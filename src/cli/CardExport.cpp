#include "cli/CardExport.h"

#include "cli/Console.h"
#include "cli/ContactWalking.h"
#include "cli/Output.h"
#include "platform/AddressBooks.h"
#include "platform/contacts/ContactStore.h"

#include <memory>

namespace quarrelby {

namespace {

QString formatName(CardFormat format)
{
    switch (format) {
    case CardFormat::VCard3:
        return QStringLiteral("the vCard 3.0 file");
    case CardFormat::VCard4:
        return QStringLiteral("the vCard 4.0 file");
    case CardFormat::OutlookCsv:
        return QStringLiteral("the Outlook CSV file");
    case CardFormat::GoogleCsv:
        break;
    }
    return QStringLiteral("the Google CSV file");
}

} // namespace

int exportCards(ContactStore &store, FoundBooks books, CardFormat format, Output &output)
{
    try {
        output.open();
        // Each card is encoded where it is read, on the reading threads;
        // here its piece is put in the file.
        const std::unique_ptr<ContactWalk> walk
            = store.open(std::move(books), true, [format] { return std::make_unique<CardPieces>(format); });
        CardEncoder encoder(format, [&](QByteArrayView bytes) { output.write(bytes); });
        int unwritten = 0;
        const bool allRead = forEachContact(*walk, [&](const Contact &contact, std::string_view piece) {
            if (piece.empty() && contact.omitted[Omission::DistributionList] == 0)
                ++unwritten;
            else
                encoder.addPiece(piece, contact.omitted);
        });
        encoder.finish();
        output.commit();
        // A book reader that could build no card for a contact it listed.
        if (unwritten > 0)
            tell(QStringLiteral("%1 contacts could not be written whole and are not in %2.")
                     .arg(unwritten)
                     .arg(formatName(format)));
        tellOmissions(encoder.omitted(), formatName(format));
        return allRead && unwritten == 0 ? kExitOk : kExitFailed;
    } catch (const Failure &error) {
        if (!interrupted())
            tell(error.description());
        return kExitFailed;
    }
}

} // namespace quarrelby
