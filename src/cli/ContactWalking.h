#pragma once

#include "format/Contact.h"
#include "format/Omissions.h"

#include <QString>

#include <functional>
#include <string_view>

namespace quarrelby {

class ContactWalk;

// Hands every contact of the walk, distribution lists included, to take,
// in order, with its whole card when the walk was opened whole (empty
// otherwise). A failure of the walk is told on standard error and the walk
// goes on; returns false when there was any. A signal stops it (Interrupted).
bool forEachContact(ContactWalk &walk, const std::function<void(const Contact &, std::string_view card)> &take);

// Tells on standard error, once, what an output (where: "the table") had
// no room for, and which output keeps it; nothing when nothing was left out.
void tellOmissions(const Omissions &omitted, const QString &where);

} // namespace quarrelby
