#pragma once

#include <cstddef>
#include <vector>

namespace quarrelby {

// UTF-16 text handed out in pieces from a few large blocks, every piece living
// until clear(): a list of 100,000 rows costs no allocation a row.
class TextArena {
public:
    TextArena() = default;
    ~TextArena();
    TextArena(const TextArena &) = delete;
    TextArena &operator=(const TextArena &) = delete;

    // Room for `units` code units, aligned for a quint32 as well.
    [[nodiscard]] char16_t *take(std::size_t units);
    // Lengthens the piece that ends at `end` by `units` in place: only the
    // last piece taken can grow, and only within its block.
    [[nodiscard]] bool extend(const char16_t *end, std::size_t units);
    // Gives back the last `units` of the piece that ends at `end`, when it is
    // the last piece taken.
    void shrink(const char16_t *end, std::size_t units);
    // Frees every block.
    void clear();

private:
    struct Block {
        char16_t *data = nullptr;
        std::size_t size = 0;
    };

    std::vector<Block> m_blocks;
    // Units taken from the last block.
    std::size_t m_used = 0;
};

} // namespace quarrelby
