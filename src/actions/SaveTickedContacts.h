#pragma once

#include "core/CardEncoders.h"

#include <QString>

namespace quarrelby {

class AddressBooks;
class TextFileWriter;
struct ActionContext;

// The list's menu: the contacts of the ticked rows whole, every field the
// books hold, as a vCard file or a CSV file another program imports as it
// is. The list keeps each row's 33 cells and its contact's uid, not the
// contact whole, so the books are read again and each ticked row's contact
// found by its uid, or, for a contact that has none, by its cells. A ticked
// contact no longer in the books is left out, and the message that ends the
// export says how many were, and what the format had no column for.
void saveTickedContacts(ActionContext &context, AddressBooks &books, TextFileWriter &files, CardFormat format);

// What the export found of the ticked rows, for its closing message.
struct TickedOutcome {
    QString path;
    int saved = 0;
    // Ticked rows whose contact the books no longer hold.
    int gone = 0;
    // Ticked rows whose contact was found but could not be read whole.
    int notWhole = 0;
    Omissions omitted;
};

[[nodiscard]] QString tickedSavedMessage(const TickedOutcome &outcome, CardFormat format);

} // namespace quarrelby
