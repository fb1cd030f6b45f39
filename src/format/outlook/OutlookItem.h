#pragma once

#include "format/Contact.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quarrelby::outlook {

// A MAPI property of an Outlook item, by one 16-bit key: below 0x8000 the
// property tag's id (0x3001 is PR_DISPLAY_NAME), from 0x8000 on the LID of a
// named property in the PSETID_Address set (0x8083 is the first e-mail
// address). Named properties of other sets have no key.
using PropertyKey = std::uint16_t;

namespace tag {
inline constexpr PropertyKey MessageClass = 0x001A;
inline constexpr PropertyKey Body = 0x1000;
inline constexpr PropertyKey RtfCompressed = 0x1009;
inline constexpr PropertyKey DisplayName = 0x3001;
inline constexpr PropertyKey Birthday = 0x3A42;
inline constexpr PropertyKey BusinessHomePage = 0x3A51;
inline constexpr PropertyKey FileAs = 0x8005; // LID
inline constexpr PropertyKey Html = 0x802B; // LID: the business home page
} // namespace tag

// The properties of one item, as its store hands them out.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;

    // The property as UTF-8 text in out; false (out empty) when the item
    // does not have it as a string.
    virtual bool text(PropertyKey key, std::string &out) = 0;
    // The property as a FILETIME (100 ns units since 1601-01-01 UTC).
    virtual bool filetime(PropertyKey key, std::uint64_t &out) = 0;
    // The body in RTF, already decompressed; false when there is none.
    virtual bool rtfBody(std::string &out) = 0;

    // What only the whole contact needs; a store that cannot read it has
    // none of it.
    // A multi-valued string property (the children's names) as UTF-8 texts.
    virtual bool textList(PropertyKey /*key*/, std::vector<std::string> & /*out*/) { return false; }
    // A multi-valued binary property (the one-off entry ids of a list's
    // members).
    virtual bool binaries(PropertyKey /*key*/, std::vector<std::string> & /*out*/) { return false; }
    // The categories: the Keywords property of the public strings set,
    // which has no key here.
    virtual bool categories(std::vector<std::string> & /*out*/) { return false; }
    // The bytes of the contact's photo (its ContactPicture.jpg attachment).
    virtual bool photo(std::string & /*out*/) { return false; }
};

enum class ItemKind { Other, Contact, DistributionList };

// IPM.Contact and IPM.Contact.<form> are contacts, IPM.DistList and
// IPM.DistList.<form> lists; message classes compare without regard to case.
[[nodiscard]] ItemKind itemKind(std::string_view messageClass);

// Reads contact items one after another; keeps its buffers between items.
class ContactMapper {
public:
    // Fills contact from the item's properties. False, contact untouched,
    // when the item is neither a contact nor a distribution list; a list
    // comes back with distributionList set.
    bool read(PropertyBag &item, Contact &contact);

private:
    std::string readBody(PropertyBag &item);

    std::string m_value;
};

// A FILETIME birthday as the local date it stands for: Outlook stores the
// midnight of the local day, converted to UTC. Empty for 0 and for dates
// from 4500 on (Outlook's "none" is 4501-01-01).
[[nodiscard]] QVariant birthdayFromFiletime(std::uint64_t filetime);

} // namespace quarrelby::outlook
