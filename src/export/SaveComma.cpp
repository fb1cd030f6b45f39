#include "export/SaveComma.h"

#include "app/FormContext.h"

namespace quarrelby {

void PushButton4_Click(FormContext &form)
{
    (void)form; // not yet built
}

} // namespace quarrelby
