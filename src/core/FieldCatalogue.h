#pragma once

#include <QString>

#include <array>

namespace quarrelby {

enum class FieldFrame { Frame1, Frame2 };

// One contact field: its check box chkData(index), its column index + 1 and
// the Outlook property it is read from.
struct ContactField {
    short index;
    const char *caption;
    FieldFrame frame;
    // Outlook property; field 11 joins property and secondProperty with " - ".
    const char *property;
    const char *secondProperty;
    bool tickedAtStart;
    int left; // twips, inside the frame
    int top;
    int width;
    int height;
};

inline constexpr int kFieldCount = 33;

// The catalogue in index order, which is also the column order.
[[nodiscard]] const std::array<ContactField, kFieldCount> &fieldCatalogue();
[[nodiscard]] const ContactField &field(int index);

[[nodiscard]] QString frameCaption(FieldFrame frame);

// The Outlook property names as QStrings, made once: the extraction reads 34
// properties per contact and should not build the names every time.
struct FieldProperties {
    QString property;
    QString secondProperty; // empty unless the field joins two properties
};
[[nodiscard]] const std::array<FieldProperties, kFieldCount> &fieldProperties();

} // namespace quarrelby
