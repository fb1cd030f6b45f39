#pragma once

namespace quarrelby {

class BusyState;
class ResultList;
struct ActionContext;

// "Clear List": removes every row, unless a long action is running.
void clearList(ActionContext &context);

// A double-click on a row: unless a long action is running, removes row
// `selected` (-1 for none does nothing).
void removeListItem(ResultList &list, const BusyState &busy, int selected);

} // namespace quarrelby
