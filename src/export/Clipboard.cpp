#include "export/Clipboard.h"

#include "app/FormContext.h"

namespace quarrelby {

void PushButton3_Click(FormContext &form)
{
    (void)form; // not yet built
}

} // namespace quarrelby
