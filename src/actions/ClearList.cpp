#include "actions/ClearList.h"

#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ResultList.h"

namespace quarrelby {

void clearList(ActionContext &context)
{
    if (!context.busy.busy())
        context.list.clearRows();
}

void removeListItem(ResultList &list, const BusyState &busy, int selected)
{
    if (busy.busy() || selected < 0 || selected >= list.itemCount())
        return;
    list.removeRow(selected);
}

} // namespace quarrelby
