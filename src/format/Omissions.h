#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>

namespace quarrelby {

// What an output had no room for, by kind: the 33 columns of the table, or
// the columns of an import format. Each kind is worded in the warning that
// tells the user (core/CardEncoders).
enum class Omission : unsigned char {
    EmailPastThird,
    Telephone, // with no column of its kind left
    PostalAddress, // with no column of its kind left
    ImAddressPastFirst,
    ImAddress,
    WebPagePastFirst,
    Nickname,
    NamePart, // a part of the name that neither the full name nor file-as shows
    Unit,
    Category,
    Photo,
    Anniversary,
    RelatedPerson,
    DistributionList,
    OtherField,
    Count
};

struct Omissions {
    std::array<quint32, static_cast<size_t>(Omission::Count)> counts {};

    void add(Omission kind, quint32 count = 1) { counts[static_cast<size_t>(kind)] += count; }
    [[nodiscard]] quint32 operator[](Omission kind) const { return counts[static_cast<size_t>(kind)]; }
    Omissions &operator+=(const Omissions &other)
    {
        for (size_t i = 0; i < counts.size(); ++i)
            counts[i] += other.counts[i];
        return *this;
    }
    [[nodiscard]] bool any() const
    {
        for (const quint32 count : counts) {
            if (count != 0)
                return true;
        }
        return false;
    }
};

} // namespace quarrelby
