// Feeds arbitrary bytes through the whole vCard path the contact store uses:
// splitting into cards, decoding every value, resolving the 34 properties.

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace quarrelby::vcard;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    const QByteArray converted = utf8FromUtf16(input);
    if (!converted.isEmpty())
        input.assign(converted.constData(), static_cast<size_t>(converted.size()));

    static TextDecoder decoder;
    static ContactReader contacts;
    static Components parts;
    Reader reader(input);
    Card card;
    size_t cards = 0;
    while (reader.next(card)) {
        // A reader that returns cards without consuming input never ends.
        if (++cards > input.size() + 1)
            __builtin_trap();
        const Contact contact = contacts.read(card);
        for (int i = 0; i < kContactPropertyCount; ++i)
            (void)contact.value(i).toString();
        ValueReader values(card, decoder);
        for (const Property &property : card.properties())
            values.components(property, parts);
    }
    return 0;
}
