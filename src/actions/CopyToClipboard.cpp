#include "actions/CopyToClipboard.h"

#include "core/ActionContext.h"
#include "core/ReportNames.h"
#include "core/ResultList.h"
#include "core/Steps.h"
#include "core/TableEncoders.h"
#include "platform/Shell.h"

#include <optional>

namespace quarrelby {

namespace {

// Another program holding the clipboard open is the usual refusal; it lets go
// within a few attempts, and an endless loop must not freeze the window.
constexpr int kClipboardAttempts = 1000;

// Tries until the clipboard takes it; never throws and gives up after
// kClipboardAttempts refusals.
template <class Attempt> bool withRetry(const Attempt &attempt)
{
    for (int n = 1; n <= kClipboardAttempts; ++n) {
        try {
            if (attempt())
                return true;
        } catch (...) {
        }
    }
    return false;
}

} // namespace

CopyOutcome copyListToClipboard(Shell &shell, const ResultList &list)
{
    if (list.itemCount() <= 0)
        return CopyOutcome::NoRows;
    const std::vector<int> widths = measureColumnWidths(list, shell, CountHeaders::No);
    const QByteArray text = clipboardText(list, widths, shell);
    withRetry([&] { return shell.clipboardClear(); });
    return withRetry([&] { return shell.clipboardSetText(text); }) ? CopyOutcome::Copied : CopyOutcome::Refused;
}

void copyToClipboard(ActionContext &context)
{
    using namespace reports::copyToClipboard;
    Steps steps(context.shell, place);
    // Stays unset when reading the list failed: the error report has told
    // the user, and claiming a copy would be false.
    std::optional<CopyOutcome> outcome;
    steps(copy, [&] { outcome = copyListToClipboard(context.shell, context.list); });
    if (outcome) {
        steps(tellUser, [&] {
            context.shell.message(
                QString::fromLatin1(*outcome == CopyOutcome::Refused ? kNotCopiedMessage : kCopiedMessage));
        });
    }
}

} // namespace quarrelby
