#pragma once

namespace quarrelby {

// When this program owns the clipboard on an X11 desktop, asks the desktop's
// clipboard manager to take its contents (a SAVE_TARGETS request to the owner
// of CLIPBOARD_MANAGER) and waits at most limitMs for it to answer, so that
// the text can still be pasted after the program has ended. Returns at once
// when there is no manager, no X11 display or nothing of ours on the
// clipboard. Only the events of the hand-over are handled meanwhile: input,
// closing and timers wait (the program is ending).
void handOverClipboard(int limitMs);

} // namespace quarrelby
