#pragma once

namespace quarrelby {

class MousePointer;
class ResultList;
struct ActionContext;

// "Clear List": removes every row, unless a long action shows the hourglass.
void clearList(ActionContext &context);

// A double-click on a row: when no long action shows the hourglass, removes
// row `selected` (1-based; 0 for none does nothing).
void removeListItem(ResultList &list, const MousePointer &pointer, int selected);

} // namespace quarrelby
