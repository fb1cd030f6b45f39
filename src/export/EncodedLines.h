#pragma once

#include <QStringView>

#include <cstring>
#include <memory>

namespace quarrelby {

class TextStream;

// Lines of text encoded as UTF-8 straight into one large buffer and handed to
// a stream in large blocks. An export of a large list would otherwise spend
// most of its time building, converting and writing one line at a time.
//
// The bytes are those the stream's WriteLine would write for the same lines:
// an unpaired surrogate becomes U+FFFD. What is still buffered when the
// object goes away without flush() is dropped.
class EncodedLines {
public:
    explicit EncodedLines(TextStream &stream);

    void append(QStringView text)
    {
        const qsizetype n = text.size();
        char *out = room(3 * n); // no UTF-16 unit takes more than three bytes
        const char16_t *in = text.utf16();
        // Mostly ASCII: copy every unit narrowed and look afterwards whether
        // any was not ASCII.
        char16_t seen = 0;
        for (qsizetype i = 0; i < n; ++i) {
            seen |= in[i];
            out[i] = static_cast<char>(in[i]);
        }
        m_used = seen < 0x80 ? m_used + n : appendWide(in, n, out);
    }

    void append(char ascii)
    {
        *room(1) = ascii;
        ++m_used;
    }

    void appendSpaces(qsizetype count)
    {
        if (count <= 0)
            return;
        std::memset(room(count), ' ', static_cast<size_t>(count));
        m_used += count;
    }

    void endLine()
    {
        char *out = room(2);
        out[0] = '\r';
        out[1] = '\n';
        m_used += 2;
    }

    // Hands everything appended so far to the stream.
    void flush();

private:
    // Where the next bytes go, with room for at least count of them.
    char *room(qsizetype count)
    {
        if (m_capacity - m_used < count)
            makeRoom(count);
        return m_buffer.get() + m_used;
    }
    void makeRoom(qsizetype count);
    // Encodes n units from in to out, out being where the text starts in the
    // buffer; returns the new fill.
    qsizetype appendWide(const char16_t *in, qsizetype n, char *out);

    TextStream &m_stream;
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_capacity = 0;
    qsizetype m_used = 0;
};

} // namespace quarrelby
