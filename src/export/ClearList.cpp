#include "export/ClearList.h"

#include "core/ErrorTrap.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"

namespace quarrelby {

void PushButton7_Click(FormContext &form)
{
    ErrorTrap trap(form.shell, QStringLiteral("Form1.PushButton7_Click"));
    if (trap.test(100, [&] { return form.pointer.busy(); }) && form.pointer.busy())
        return;
    trap(100, [&] { form.list.clearRows(); });
}

} // namespace quarrelby
