#pragma once

namespace quarrelby {

struct FormContext;

// "Save As Comma Delimited".
void PushButton4_Click(FormContext &form);

} // namespace quarrelby
