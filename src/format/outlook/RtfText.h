#pragma once

#include <string>
#include <string_view>

namespace quarrelby::outlook {

// The text of an RTF document as UTF-8, without its markup: paragraph and
// line ends become CR LF, tabs and table cells a TAB; font tables, styles,
// pictures, field instructions and other destinations are left out (for
// HTML encapsulated in RTF: the HTML tags; its text is read as the RTF
// shows it, with the RTF's paragraph ends). 8-bit text is read in
// the document's \ansicpg code page (Windows-1252 when it names none or one
// iconv does not know). Never fails: anything it cannot read is dropped.
[[nodiscard]] std::string rtfToText(std::string_view rtf);

} // namespace quarrelby::outlook
