#include "actions/ClearList.h"

#include "core/ActionContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"

namespace quarrelby {

void clearList(ActionContext &context)
{
    if (!context.pointer.busy())
        context.list.clearRows();
}

void removeListItem(ResultList &list, const MousePointer &pointer, int selected)
{
    if (pointer.busy() || list.itemCount() < 1 || selected < 1 || selected > list.itemCount())
        return;
    list.removeRow(selected);
}

} // namespace quarrelby
