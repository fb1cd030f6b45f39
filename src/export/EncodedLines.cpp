#include "export/EncodedLines.h"

#include "platform/FileSystemObject.h"

#include <QChar>

namespace quarrelby {

namespace {

// Large enough that writing costs little per byte, small enough to stay in
// the processor's cache between being filled and being written.
constexpr qsizetype kBlockSize = qsizetype(256) * 1024;

char *putReplacement(char *out)
{
    *out++ = static_cast<char>(0xef);
    *out++ = static_cast<char>(0xbf);
    *out++ = static_cast<char>(0xbd);
    return out;
}

} // namespace

EncodedLines::EncodedLines(TextStream &stream)
    : m_stream(stream)
    , m_buffer(new char[kBlockSize])
    , m_capacity(kBlockSize)
{
}

void EncodedLines::flush()
{
    if (m_used == 0)
        return;
    const qsizetype size = m_used;
    m_used = 0;
    m_stream.WriteBlock(QByteArrayView(m_buffer.get(), size));
}

void EncodedLines::makeRoom(qsizetype count)
{
    flush();
    if (count <= m_capacity)
        return;
    // One text longer than a block (a huge cell, or its padding).
    m_buffer.reset(new char[static_cast<size_t>(count)]);
    m_capacity = count;
}

qsizetype EncodedLines::appendWide(const char16_t *in, qsizetype n, char *out)
{
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t u = in[i];
        if (u < 0x80) {
            *out++ = static_cast<char>(u);
        } else if (u < 0x800) {
            *out++ = static_cast<char>(0xc0 | (u >> 6));
            *out++ = static_cast<char>(0x80 | (u & 0x3f));
        } else if (!QChar::isSurrogate(u)) {
            *out++ = static_cast<char>(0xe0 | (u >> 12));
            *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3f));
            *out++ = static_cast<char>(0x80 | (u & 0x3f));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
            const char32_t c = QChar::surrogateToUcs4(static_cast<char16_t>(u), in[++i]);
            *out++ = static_cast<char>(0xf0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            *out++ = static_cast<char>(0x80 | (c & 0x3f));
        } else {
            // An unpaired surrogate: a high one without its low one, or
            // a low one alone.
            out = putReplacement(out);
        }
    }
    return out - m_buffer.get();
}

} // namespace quarrelby
