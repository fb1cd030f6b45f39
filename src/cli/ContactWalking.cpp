#include "cli/ContactWalking.h"

#include "cli/Console.h"
#include "core/CardEncoders.h"
#include "platform/AddressBooks.h"

namespace quarrelby {

bool forEachContact(ContactWalk &walk, const std::function<void(const Contact &, std::string_view card)> &take)
{
    bool allRead = true;
    Contact contact;
    std::string_view card;
    while (true) {
        stopIfInterrupted();
        try {
            if (!walk.nextWhole(contact, card))
                break;
        } catch (const Failure &error) {
            if (!interrupted())
                tell(error.description());
            allRead = false;
            continue;
        }
        take(contact, card);
    }
    return allRead;
}

void tellOmissions(const Omissions &omitted, const QString &where)
{
    // vCard 3.0 has no distribution lists.
    const QString warning = omissionWarning(omitted, where,
        omitted[Omission::DistributionList] != 0 ? QStringLiteral("--export vcard4 keeps every field and list")
                                                 : QStringLiteral("--export vcard keeps every field"));
    if (!warning.isEmpty())
        tell(warning);
}

} // namespace quarrelby
