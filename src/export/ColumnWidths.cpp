#include "export/ColumnWidths.h"

#include "core/ResultList.h"
#include "platform/Shell.h"

#include <algorithm>

namespace quarrelby {

std::vector<int> measureColumnWidths(const ResultList &list, EventLoopService &shell, CountHeaders headers)
{
    const int columns = list.headerCount();
    std::vector<int> widths(static_cast<size_t>(std::max(columns, 0)), 0);
    if (headers == CountHeaders::Yes) {
        for (int k = 1; k <= columns; ++k)
            widths[static_cast<size_t>(k - 1)] = static_cast<int>(list.columnText(k).size());
    }
    // Row by row rather than column by column: the same widths and the same
    // yields, but a large list is read in the order it lies in memory.
    const int rows = list.itemCount();
    for (int r = 1; r <= rows; ++r) {
        for (int k = 1; k <= columns; ++k) {
            shell.yield();
            int &width = widths[static_cast<size_t>(k - 1)];
            width = std::max(width, static_cast<int>(list.cellView(r, k).size()));
        }
    }
    return widths;
}

} // namespace quarrelby
