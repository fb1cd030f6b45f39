#pragma once

namespace quarrelby {

struct FormContext;

// "Save Results As Text File".
void PushButton6_Click(FormContext &form);

} // namespace quarrelby
