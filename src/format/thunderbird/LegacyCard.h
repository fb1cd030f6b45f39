#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quarrelby::thunderbird {

// One row of a Thunderbird card: a property name and its text as stored.
struct CardProperty {
    std::string_view name;
    std::string_view value;
};

// The vCard 4.0 text Thunderbird makes of a card that has only the
// properties it kept before it stored a whole vCard per card (DisplayName,
// FirstName, LastName, NickName, PrimaryEmail, SecondEmail, JobTitle,
// Department, Company, the five telephones, the work and home address parts,
// WebPage1/2, BirthYear/Month/Day, Notes and the chat names), so that such a
// card goes through the same vCard mapping as every other card.
//
// Work and home addresses become ADR;TYPE=work / ADR;TYPE=home with
// <kind>Address as the street and <kind>Address2 as a second street line.
// Unknown properties and empty values are left out; the first row of a name
// wins. Never fails: any bytes give a well-formed card.
[[nodiscard]] std::string legacyVCard(std::span<const CardProperty> properties);

} // namespace quarrelby::thunderbird
