#pragma once

#include <vector>

namespace quarrelby {

class ResultList;
class EventLoopService;

enum class CountHeaders { No, Yes };

// The width of every column in UTF-16 code units: its longest cell over all
// rows, ticked or not, and its header too when asked. Yields once per cell.
[[nodiscard]] std::vector<int> measureColumnWidths(
    const ResultList &list, EventLoopService &shell, CountHeaders headers);

} // namespace quarrelby
