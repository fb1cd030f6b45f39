#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstddef>

namespace quarrelby {

// What the window does, one entry for each piece of work that reports its
// own failures.
enum class Action {
    StartUp,
    ExtractContacts,
    ReadAddressBooks,
    SaveAsText,
    SaveAsCommaDelimited,
    ExportWorkbook,
    CopyToClipboard,
    ShowHelp,
};

// The place an error report names: "Form1.PushButton6_Click" in
// "in QuarrelbyApp2021/08/31.Form1.PushButton6_Click at line 106". Users
// quote these reports to support, who know each place by this name and each
// step by its line, so names and lines stay as they have always been.
[[nodiscard]] inline QString reportName(Action action)
{
    static constexpr std::array<const char *, 8> kNames {"Form1.Form_Load", "Form1.PushButton2_Click",
        "Form1.GetAllContactsOutlook", "Form1.PushButton6_Click", "Form1.PushButton4_Click", "Form1.PushButton1_Click",
        "Form1.PushButton3_Click", "Form1.PushButton13_Click"};
    return QLatin1StringView(kNames.at(static_cast<std::size_t>(action)));
}

// The line each step that can fail reports its failure under. Both file
// exports ask for the file name at the same line.
namespace steps {
namespace startUp {
inline constexpr int applySkin = 100, loadCursor = 106, maybeOpenHomePage = 108;
}
namespace extractContacts {
inline constexpr int noAddressBooks = 102, readAddressBooks = 108, done = 110;
}
namespace readAddressBooks {
inline constexpr int open = 102, showColumn = 114, hideColumn = 116, firstContact = 122, addRow = 126,
                     nextContact = 192;
}
namespace askFileName {
inline constexpr int showDialog = 114;
}
namespace saveAsText {
inline constexpr int askOverwrite = 122, save = 128;
}
namespace saveAsCommaDelimited {
inline constexpr int save = 122;
}
namespace exportWorkbook {
inline constexpr int newWorkbook = 112, firstHeader = 126, header = 130, rowTicked = 144, firstCell = 154, cell = 158,
                     noSpreadsheets = 172;
}
namespace copyToClipboard {
inline constexpr int copy = 106, tellUser = 108;
}
namespace showHelp {
inline constexpr int show = 112;
}
} // namespace steps

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
