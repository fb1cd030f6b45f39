#pragma once

namespace quarrelby {

struct FormContext;

// "Copy Results To Clipboard".
void PushButton3_Click(FormContext &form);

} // namespace quarrelby
