#include "format/Utf8.h"

#include <QStringEncoder>

#include <cstring>

namespace quarrelby {

bool isAscii(std::string_view bytes)
{
    // Eight bytes at a time: nearly every value of an address book is ASCII.
    size_t i = 0;
    quint64 high = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        high |= word;
    }
    for (; i < bytes.size(); ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    return (high & 0x8080808080808080ULL) == 0;
}

char *encodeUtf8(char *out, QStringView text)
{
    // Stateless: a lone surrogate at the end of one text must not pair up
    // with the start of the next.
    return QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless).appendToBuffer(out, text);
}

void appendUtf8(std::string &out, QStringView text)
{
    const size_t start = out.size();
    out.resize(start + 3 * static_cast<size_t>(text.size()));
    out.resize(static_cast<size_t>(encodeUtf8(out.data() + start, text) - out.data()));
}

} // namespace quarrelby
