#pragma once

namespace quarrelby {

struct FormContext;

// "Clear List": removes every row, unless a long action shows the hourglass.
void PushButton7_Click(FormContext &form);

} // namespace quarrelby
