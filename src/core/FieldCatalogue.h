#pragma once

#include "format/Contact.h"

#include <QString>

#include <array>
#include <optional>

namespace quarrelby {

// The frame a field's box sits in: contact information or telephones.
enum class FieldFrame { Info, Phone };

// One contact field: its check box fieldBox(index), its column index and
// the Outlook property it is read from.
struct ContactField {
    short index;
    const char *caption;
    FieldFrame frame;
    // Field 11 joins property and secondProperty with " - ".
    ContactProperty property;
    std::optional<ContactProperty> secondProperty;
    bool tickedAtStart;
};

inline constexpr int kFieldCount = 33;

// The catalogue in index order, which is also the column order.
[[nodiscard]] const std::array<ContactField, kFieldCount> &fieldCatalogue();
[[nodiscard]] const ContactField &field(int index);

[[nodiscard]] QString frameCaption(FieldFrame frame);

} // namespace quarrelby
