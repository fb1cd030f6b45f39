#pragma once

#include "format/vcard/VCardText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quarrelby::vcard {

// Cuts the text of one vCard file, fed a block at a time, into pieces of
// whole cards, so that pieces can be parsed side by side and still give what
// reading the whole text gives, card for card. UTF-16 is converted to UTF-8
// as it comes. Nothing is held past the piece being cut: a text whose start
// is not vCard text is refused after its first piece's worth, and text that
// runs on for kLargestCard with no place to cut is refused where it starts,
// so that a file of zeros or a damaged one is never held whole.
class Cutter {
public:
    // A piece is cut at about this size.
    static constexpr size_t kPieceBytes = 512 * 1024;
    // No card is larger: a photo of a few megabytes fits many times.
    static constexpr size_t kLargestCard = 32 * 1024 * 1024;

    // Pieces of about pieceBytes; no card of more than largestCard.
    explicit Cutter(size_t pieceBytes = kPieceBytes, size_t largestCard = kLargestCard)
        : m_pieceBytes(pieceBytes)
        , m_largestCard(largestCard)
        , m_searchFrom(pieceBytes)
    {
    }

    enum class Refusal {
        NotVCard, // the start holds no BEGIN:VCARD line nor a card
        NoCardEnd, // the card that starts at at() has no end within the largest card's size
        NoCard, // from at() on, after the last card's end, the largest card's size holds no card
    };

    // The text fed so far and not yet cut: read the next block onto its end.
    std::string &buffer() { return m_pending; }

    // Cuts what the last read added, the `got` bytes at the end of buffer(),
    // none at the end of the text, appending the pieces now whole to pieces.
    // False when the text is done with: at its end, or refused.
    bool take(size_t got, std::vector<std::string> &pieces);

    // Why the text was refused, once take() returned false; nothing when it
    // came to its end.
    [[nodiscard]] std::optional<Refusal> refusal() const { return m_refusal; }
    // Where the refused text starts, in bytes of its UTF-8.
    [[nodiscard]] size_t at() const { return m_offset; }

private:
    bool checkStart(bool atEnd);
    bool cutPieces(std::vector<std::string> &pieces);

    const size_t m_pieceBytes;
    const size_t m_largestCard;
    std::string m_pending;
    // Where the next cut is looked for in m_pending.
    size_t m_searchFrom;
    // Bytes of the text (as UTF-8) cut off before m_pending.
    size_t m_offset = 0;
    bool m_started = false;
    bool m_checked = false;
    std::optional<Refusal> m_refusal;
    std::optional<Utf16Stream> m_utf16;
};

} // namespace quarrelby::vcard
