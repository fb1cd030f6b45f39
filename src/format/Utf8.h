#pragma once

#include <QStringView>

#include <string>
#include <string_view>

namespace quarrelby {

// The program's one way from text to UTF-8 (Qt's encoder, an unpaired
// surrogate written as U+FFFD) and its one test for plain ASCII.

[[nodiscard]] bool isAscii(std::string_view bytes);

// Writes text from out on, which must have room for three bytes a UTF-16
// unit; returns where the bytes end.
char *encodeUtf8(char *out, QStringView text);

void appendUtf8(std::string &out, QStringView text);

} // namespace quarrelby
