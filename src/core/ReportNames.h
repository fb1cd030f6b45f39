#pragma once

#include <QString>

namespace quarrelby {

// Where the error report says a failure happened, and the line of each step
// that can fail: "in QuarrelbyApp2021/08/31.Form1.PushButton6_Click at line
// 106". Users quote these reports to support, who know each action by its
// place and each step by its line, so places and lines stay as they have
// always been. One namespace an action: its place, then its steps. A new
// action takes its own name as its place ("Form1." and its name in the code)
// and numbers its steps from 100 up in steps of 2.
namespace reports {
namespace startUp {
inline constexpr char place[] = "Form1.Form_Load";
inline constexpr int applySkin = 100, loadCursor = 106, maybeOpenHomePage = 108;
} // namespace startUp
namespace extractContacts {
inline constexpr char place[] = "Form1.PushButton2_Click";
inline constexpr int noAddressBooks = 102, readAddressBooks = 108, done = 110;
} // namespace extractContacts
namespace readAddressBooks {
inline constexpr char place[] = "Form1.GetAllContactsOutlook";
inline constexpr int open = 102, showColumn = 114, hideColumn = 116, firstContact = 122, addRow = 126,
                     nextContact = 192;
} // namespace readAddressBooks
// Both file exports ask for the file name at this line, each under its own
// place.
namespace askFileName {
inline constexpr int showDialog = 114;
}
namespace saveAsText {
inline constexpr char place[] = "Form1.PushButton6_Click";
inline constexpr int askOverwrite = 122, save = 128;
} // namespace saveAsText
namespace saveAsCommaDelimited {
inline constexpr char place[] = "Form1.PushButton4_Click";
inline constexpr int save = 122;
} // namespace saveAsCommaDelimited
namespace exportWorkbook {
inline constexpr char place[] = "Form1.PushButton1_Click";
inline constexpr int newWorkbook = 112, firstHeader = 126, header = 130, rowTicked = 144, firstCell = 154, cell = 158,
                     noSpreadsheets = 172;
} // namespace exportWorkbook
namespace copyToClipboard {
inline constexpr char place[] = "Form1.PushButton3_Click";
inline constexpr int copy = 106, tellUser = 108;
} // namespace copyToClipboard
// The list's menu: the ticked rows' contacts whole into a vCard or CSV file.
namespace saveTickedContacts {
inline constexpr char place[] = "Form1.saveTickedContacts";
inline constexpr int showDialog = 100, askOverwrite = 102, open = 104, save = 106, readContact = 108, tellUser = 110;
} // namespace saveTickedContacts
namespace showHelp {
inline constexpr char place[] = "Form1.PushButton13_Click";
inline constexpr int show = 112;
} // namespace showHelp
} // namespace reports

// The widgets' object names. Style sheets select on them (the skin that
// ships uses #Form1, and users write their own), so they stay as they are.
namespace objectNames {
inline constexpr const char *mainWindow = "Form1", *listView = "ListView1", *infoFrame = "Frame1",
                            *phoneFrame = "Frame2";
inline constexpr const char *extractButton = "PushButton2", *saveTextButton = "PushButton6",
                            *saveCommaButton = "PushButton4", *workbookButton = "PushButton1",
                            *clipboardButton = "PushButton3", *clearButton = "PushButton7",
                            *helpButton = "PushButton13";
// The check box of field n.
[[nodiscard]] inline QString fieldBox(int n)
{
    return QStringLiteral("chkData(%1)").arg(n);
}
} // namespace objectNames

} // namespace quarrelby
