// Feeds arbitrary Thunderbird card rows (name NUL value NUL ...) through the
// legacy card mapping and the vCard path behind it. The mapping must always
// give exactly one card, and text it escaped must come back unchanged.

#include "format/Contact.h"
#include "format/thunderbird/LegacyCard.h"
#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace quarrelby;

namespace {

// Text that any vCard reader must hand back as it was: valid UTF-8, no
// control characters but the line feed inside, no blanks at either end, not
// a data URI.
bool plain(std::string_view text)
{
    if (text.empty() || text.front() == ' ' || text.back() == ' ' || text.front() == '\n' || text.back() == '\n')
        return false;
    // An inline "data:" URI is binary by the vCard rules, never text.
    if (text.size() >= 5 && QByteArray(text.data(), 5).toLower() == "data:")
        return false;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n')
            return false;
    }
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// The one value of `name`, or nothing when it is missing or given twice.
std::string_view only(const std::vector<thunderbird::CardProperty> &rows, std::string_view name, bool &found)
{
    found = false;
    std::string_view value;
    for (const auto &row : rows) {
        if (row.name != name)
            continue;
        if (found)
            return {};
        found = true;
        value = row.value;
    }
    return value;
}

void expectSame(const Contact &contact, int property, std::string_view expected)
{
    std::string wanted;
    for (char c : expected) {
        if (c == '\n')
            wanted += '\r';
        wanted += c;
    }
    if (contact.text(property) != QString::fromUtf8(wanted.data(), static_cast<qsizetype>(wanted.size())))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    std::vector<thunderbird::CardProperty> rows;
    size_t pos = 0;
    while (pos < input.size()) {
        const size_t nameEnd = std::min(input.find('\0', pos), input.size());
        const size_t valueStart = std::min(nameEnd + 1, input.size());
        const size_t valueEnd = std::min(input.find('\0', valueStart), input.size());
        rows.push_back({input.substr(pos, nameEnd - pos), input.substr(valueStart, valueEnd - valueStart)});
        pos = valueEnd + 1;
    }

    const std::string text = thunderbird::legacyVCard(rows);
    static vcard::ContactReader contacts;
    vcard::Reader reader(text);
    vcard::Card card;
    if (!reader.next(card))
        __builtin_trap();
    const Contact contact = contacts.read(card);
    if (reader.next(card) || contact.distributionList)
        __builtin_trap();
    for (int i = 0; i < kContactPropertyCount; ++i)
        (void)contact.value(i).toString();

    bool found = false;
    const std::string_view notes = only(rows, "Notes", found);
    if (found && plain(notes))
        expectSame(contact, Body, notes);
    const std::string_view email = only(rows, "PrimaryEmail", found);
    if (found && plain(email) && email.find('\n') == std::string_view::npos)
        expectSame(contact, Email1Address, email);
    return 0;
}
