#include "export/ClearList.h"

#include "app/ErrorTrap.h"
#include "app/FormContext.h"
#include "app/MousePointer.h"
#include "app/ResultList.h"

namespace quarrelby {

void PushButton7_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton7_Click"));
    if (trap.test(100, [&] { return form.pointer.busy(); }) && form.pointer.busy())
        return;
    trap(100, [&] { form.list.clearRows(); });
}

} // namespace quarrelby
