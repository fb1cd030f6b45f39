#include "export/SaveList.h"

#include "app/FormContext.h"

namespace quarrelby {

void PushButton6_Click(FormContext &form)
{
    (void)form; // not yet built
}

} // namespace quarrelby
