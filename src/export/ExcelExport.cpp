#include "export/ExcelExport.h"

#include "app/FormContext.h"

namespace quarrelby {

void PushButton1_Click(FormContext &form)
{
    (void)form; // not yet built
}

} // namespace quarrelby
