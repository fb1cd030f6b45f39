#pragma once

namespace quarrelby {

struct FormContext;

// "Save Results As Excel File".
void PushButton1_Click(FormContext &form);

} // namespace quarrelby
