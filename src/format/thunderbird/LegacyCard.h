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
// FirstName, LastName, their phonetic forms, NickName, PrimaryEmail,
// SecondEmail, JobTitle, Department, Company, the five telephones, the work
// and home address parts, WebPage1/2, BirthYear/Month/Day, the same for the
// anniversary, SpouseName, Custom1-4, PreferMailFormat, Notes and the chat
// names), so that such a card goes through the same vCard mapping as every
// other card and is exported whole.
//
// Work and home addresses become ADR;TYPE=work / ADR;TYPE=home with
// <kind>Address as the street and <kind>Address2 as a second street line.
// Unknown properties and empty values are left out; the first row of a name
// wins. Never fails: any bytes give a well-formed card.
[[nodiscard]] std::string legacyVCard(std::span<const CardProperty> properties);

// A mailing list of a Thunderbird book as a vCard 4.0 group: its name,
// nickname and description, and its members by the uids of their cards.
[[nodiscard]] std::string listVCard(std::string_view name, std::string_view nickName, std::string_view description,
    std::span<const std::string> members);

} // namespace quarrelby::thunderbird
