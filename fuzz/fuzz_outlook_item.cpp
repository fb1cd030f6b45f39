// Feeds arbitrary properties through the Outlook item mapping: the message
// class test, the 33 fields, the birthday, the RTF body's text, and the
// whole item as a vCard, which must read back as one card (the RTF bytes
// stand in for a list's one-off member entries). The input
// is a list of properties: a 16-bit key, a kind (text, FILETIME, RTF body),
// a 16-bit length and that many bytes.

#include "format/outlook/OutlookCard.h"
#include "format/outlook/OutlookItem.h"
#include "format/outlook/RtfText.h"
#include "format/vcard/VCardReader.h"

#include <QStringDecoder>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

using namespace quarrelby;
using namespace quarrelby::outlook;

namespace {

class FuzzedItem : public PropertyBag {
public:
    FuzzedItem(const uint8_t *data, size_t size)
    {
        size_t pos = 0;
        while (pos + 5 <= size) {
            const auto key = static_cast<PropertyKey>(data[pos] << 8 | data[pos + 1]);
            const uint8_t kind = data[pos + 2] % 3;
            size_t length = static_cast<size_t>(data[pos + 3] << 8 | data[pos + 4]);
            pos += 5;
            length = std::min(length, size - pos);
            std::string value(reinterpret_cast<const char *>(data + pos), length);
            pos += length;
            if (kind == 0)
                m_texts[key] = value;
            else if (kind == 1)
                m_filetimes[key] = value;
            else
                m_rtf = value;
        }
    }

    bool text(PropertyKey key, std::string &out) override
    {
        const auto found = m_texts.find(key);
        out = found == m_texts.end() ? std::string() : found->second;
        return found != m_texts.end();
    }
    bool filetime(PropertyKey key, std::uint64_t &out) override
    {
        const auto found = m_filetimes.find(key);
        if (found == m_filetimes.end())
            return false;
        out = 0;
        std::memcpy(&out, found->second.data(), std::min(found->second.size(), sizeof out));
        return true;
    }
    bool rtfBody(std::string &out) override
    {
        out = m_rtf;
        return !m_rtf.empty();
    }
    bool binaries(PropertyKey, std::vector<std::string> &out) override
    {
        out = {m_rtf, m_rtf.substr(m_rtf.size() / 2)};
        return true;
    }
    [[nodiscard]] const std::string &rtf() const { return m_rtf; }

private:
    std::map<PropertyKey, std::string> m_texts;
    std::map<PropertyKey, std::string> m_filetimes;
    std::string m_rtf;
};

void checkUtf8(const std::string &text)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)QString(decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size()))));
    if (decoder.hasError())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedItem item(data, size);
    // The RTF reader makes valid UTF-8 of anything.
    checkUtf8(rtfToText(item.rtf()));

    static ContactMapper mapper;
    Contact contact;
    if (mapper.read(item, contact)) {
        const auto length = static_cast<size_t>(contact.texts.size());
        size_t previous = contact.textsBegin;
        for (int i = 0; i < kContactPropertyCount; ++i) {
            const size_t end = contact.ends[static_cast<size_t>(i)];
            if (end < previous || end > length)
                __builtin_trap();
            previous = end;
            (void)contact.value(i).toString();
        }
        if (previous != length)
            __builtin_trap();
    }
    const std::string card = itemVCard(item);
    vcard::Reader reader(card);
    vcard::Card read;
    if (!card.empty() && (!reader.next(read) || reader.next(read)))
        __builtin_trap();
    return 0;
}
