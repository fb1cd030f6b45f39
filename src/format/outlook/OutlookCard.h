#pragma once

#include "format/outlook/OutlookItem.h"

#include <string>
#include <string_view>

namespace quarrelby::outlook {

// An Outlook item as a vCard 4.0 card with everything of it this program
// reads: the name and its parts, nickname, file-as, every e-mail address,
// every telephone with its kind, each postal address by its parts (with
// Outlook's text of it as the LABEL), company and department, title and
// profession, assistant, manager, spouse and children, birthday and
// anniversary, web pages, IM address, categories, notes and photo. A
// distribution list becomes a KIND:group card with its members as mailto:
// URIs. Empty for an item that is neither.
[[nodiscard]] std::string itemVCard(PropertyBag &item);

// The display name, address type and address a one-off entry id holds (the
// form Outlook keeps a list's members in); false for any other bytes.
struct OneOffAddress {
    std::string displayName;
    std::string addressType;
    std::string address;
};
[[nodiscard]] bool readOneOffEntryId(std::string_view bytes, OneOffAddress &out);

} // namespace quarrelby::outlook
