#include "core/TextArena.h"

#include <new>
#include <sys/mman.h>

namespace quarrelby {

namespace {

// 8 MB blocks: a list of 100,000 rows takes a few dozen.
constexpr std::size_t kBlockUnits = 4 * 1024 * 1024;

// A block is filled from its start to its end: its pages are mapped in one
// go, which costs far less than a fault on each page as the rows reach it.
char16_t *allocateBlock(std::size_t units)
{
    void *memory = ::mmap(
        nullptr, units * sizeof(char16_t), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<char16_t *>(memory);
}

} // namespace

TextArena::~TextArena()
{
    clear();
}

char16_t *TextArena::take(std::size_t units)
{
    // Even offsets keep every piece fit for quint32 values.
    units += units % 2;
    m_used += m_used % 2;
    if (m_blocks.empty() || m_blocks.back().size - m_used < units) {
        const std::size_t size = units > kBlockUnits ? units : kBlockUnits;
        m_blocks.push_back({allocateBlock(size), size});
        m_used = 0;
    }
    char16_t *piece = m_blocks.back().data + m_used;
    m_used += units;
    return piece;
}

bool TextArena::extend(const char16_t *end, std::size_t units)
{
    if (m_blocks.empty())
        return false;
    const Block &last = m_blocks.back();
    if (end != last.data + m_used || last.size - m_used < units)
        return false;
    m_used += units;
    return true;
}

void TextArena::shrink(const char16_t *end, std::size_t units)
{
    if (!m_blocks.empty() && end == m_blocks.back().data + m_used && units <= m_used)
        m_used -= units;
}

void TextArena::clear()
{
    for (const Block &block : m_blocks)
        ::munmap(block.data, block.size * sizeof(char16_t));
    m_blocks.clear();
    m_used = 0;
}

} // namespace quarrelby
