// Feeds arbitrary bytes as a contact's card text through the outputs that
// keep every field: vCard 3.0 and 4.0 and the two import CSVs. Every card
// written must read back as one card in UTF-8, no line may be longer than
// 75 octets, a card of text written again in its own version must come out
// the same, and the CSV rows must be as long as their header.

#include "core/CardEncoders.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

using namespace quarrelby;

namespace {

[[noreturn]] void fail(const char *why)
{
    std::fprintf(stderr, "%s\n", why);
    __builtin_trap();
}

size_t cards(std::string_view text)
{
    vcard::Reader reader(text);
    vcard::Card card;
    size_t count = 0;
    while (reader.next(card))
        ++count;
    return count;
}

void checkLines(std::string_view text)
{
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos || end - start > 75)
            fail("a line longer than 75 octets or without CR LF");
        start = end + 2;
    }
}

void checkVersion(std::string_view input, vcard::Version version)
{
    // Text of any program is stable: written again, a card comes out the
    // same. Bytes that are no text (NUL, no UTF-8) are only kept safe.
    const bool stable = input.find('\0') == std::string_view::npos
        && QByteArrayView(input.data(), static_cast<qsizetype>(input.size())).isValidUtf8();
    static vcard::CardWriter writers[]
        = {vcard::CardWriter(vcard::Version::V30), vcard::CardWriter(vcard::Version::V40)};
    vcard::CardWriter &writer = writers[version == vcard::Version::V40 ? 1 : 0];
    vcard::Reader reader(input);
    vcard::Card card;
    while (reader.next(card)) {
        std::string once;
        if (!writer.write(card, once))
            continue;
        checkLines(once);
        if (!QByteArrayView(once.data(), static_cast<qsizetype>(once.size())).isValidUtf8())
            fail("a card that is not UTF-8");
        if (cards(once) != 1)
            fail("a card that does not read back as one");
        if (!stable)
            continue;
        vcard::Reader again(once);
        vcard::Card written;
        again.next(written);
        std::string twice;
        writer.write(written, twice);
        if (twice != once)
            fail("a card that changes when written again");
    }
}

void checkCsv(std::string_view input, CardFormat format)
{
    QByteArray out;
    CardEncoder encoder(format, [&](QByteArrayView bytes) { out.append(bytes); });
    encoder.add(input);
    encoder.finish();
    if (!out.isValidUtf8())
        fail("a CSV file that is not UTF-8");
    // Commas outside quotes: the same number on every record.
    qsizetype expected = -1;
    qsizetype commas = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++commas;
        else if (c == '\n' && !quoted) {
            if (expected >= 0 && commas != expected)
                fail("CSV records of different lengths");
            expected = commas;
            commas = 0;
        }
    }
    if (quoted)
        fail("a CSV quote left open");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    checkVersion(input, vcard::Version::V30);
    checkVersion(input, vcard::Version::V40);
    checkCsv(input, CardFormat::OutlookCsv);
    checkCsv(input, CardFormat::GoogleCsv);
    return 0;
}
