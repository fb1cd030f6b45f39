// Feeds arbitrary bytes through the whole vCard path the contact store uses:
// splitting into cards, decoding every value, resolving the 34 properties.
// Then cuts the text wherever cardBoundary allows, as the contact store cuts
// a large file for its threads, and requires the pieces read one after the
// other to give the contacts of the whole; UTF-16 converted a few bytes at a
// time must give what converting it whole gives; and the cutter, fed a few
// bytes at a time and cutting pieces of a few dozen, must give the text back
// (a beginning of it when it refuses the rest), and with no bound on a
// card's size, pieces that read as the whole.

#include "ContactFields.h"
#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardCutter.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardText.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

using namespace quarrelby;
using namespace quarrelby::vcard;

namespace {

// The contacts of one piece, UTF-16 converted first as the store does.
void readPiece(std::string_view piece, ContactReader &contacts, std::vector<Contact> &out)
{
    for (Contact &contact : readContacts(piece, contacts))
        out.push_back(std::move(contact));
}

// UTF-16 converted as the store reads it, a block at a time, in blocks of a
// few bytes (odd sizes too), must give what converting it whole gives.
void checkUtf16Stream(std::string_view raw, const QByteArray &whole)
{
    if (!Utf16Stream::startsUtf16(raw))
        return;
    Utf16Stream stream;
    std::string out;
    const size_t block = 1 + static_cast<unsigned char>(raw.back()) % 7;
    for (size_t at = 0; at < raw.size(); at += block)
        stream.append(raw.substr(at, block), false, out);
    stream.append({}, true, out);
    if (out != std::string_view(whole.constData(), static_cast<size_t>(whole.size())))
        __builtin_trap();
}

// Cut at every boundary, read piece by piece, compared with the whole. The
// store cuts UTF-16 text once it is converted.
void checkCuts(std::string_view raw, ContactReader &contacts)
{
    std::vector<Contact> whole;
    readPiece(raw, contacts, whole);
    std::vector<Contact> pieces;
    size_t start = 0;
    size_t from = 0;
    while (true) {
        const size_t cut = cardBoundary(raw, from);
        if (cut == std::string_view::npos)
            break;
        // Every place lies ahead of where it was looked for, inside the input.
        if (cut < from || cut <= start || cut >= raw.size())
            __builtin_trap();
        readPiece(raw.substr(start, cut - start), contacts, pieces);
        start = cut;
        from = cut + 1;
    }
    readPiece(raw.substr(start), contacts, pieces);
    if (pieces.size() != whole.size())
        __builtin_trap();
    for (size_t i = 0; i < whole.size(); ++i) {
        if (!sameContact(pieces[i], whole[i]))
            __builtin_trap();
    }
}

void checkCutter(std::string_view raw, std::string_view text, ContactReader &contacts)
{
    if (raw.empty())
        return;
    const auto first = static_cast<unsigned char>(raw.front());
    const size_t pieceBytes = 1 + first % 97;
    const bool bounded = first & 1;
    Cutter cutter(pieceBytes, bounded ? pieceBytes * 3 : std::numeric_limits<size_t>::max());
    std::vector<std::string> pieces;
    const size_t block = 1 + static_cast<unsigned char>(raw.back()) % 13;
    bool going = true;
    for (size_t at = 0; going && at < raw.size(); at += block) {
        const std::string_view next = raw.substr(at, block);
        cutter.buffer() += next;
        going = cutter.take(next.size(), pieces);
    }
    if (going && cutter.take(0, pieces))
        __builtin_trap();
    std::string joined;
    for (const std::string &piece : pieces) {
        if (piece.empty())
            __builtin_trap();
        joined += piece;
    }
    if (cutter.refusal() ? !text.starts_with(joined) : joined != text)
        __builtin_trap();
    // Text that holds no card is refused where the cards that went on end.
    if (cutter.refusal() == Cutter::Refusal::NoCard && cutter.at() != joined.size())
        __builtin_trap();
    if (bounded || cutter.refusal())
        return;
    std::vector<Contact> whole;
    readPiece(text, contacts, whole);
    std::vector<Contact> cut;
    for (const std::string &piece : pieces)
        readPiece(piece, contacts, cut);
    if (cut.size() != whole.size())
        __builtin_trap();
    for (size_t i = 0; i < whole.size(); ++i) {
        if (!sameContact(cut[i], whole[i]))
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    const std::string raw = input;
    const QByteArray converted = utf8FromUtf16(input);
    if (!converted.isEmpty())
        input.assign(converted.constData(), static_cast<size_t>(converted.size()));

    static TextDecoder decoder;
    static ContactReader contacts;
    static Components parts;
    static ValueReader values(decoder);
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
        values.setCard(card);
        for (const Property &property : card.properties())
            values.components(property, parts);
    }
    checkUtf16Stream(raw, converted);
    checkCuts(input, contacts);
    checkCutter(raw, input, contacts);
    return 0;
}
