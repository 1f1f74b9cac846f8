// The application's message loop as the Windows dialogs use it.
#pragma once
#include <windows.h>

namespace platform {

// The loop of a modal window: runs until done is set or the program ends, routes the
// window's keys (Tab, Enter, Esc) as a dialog's, and handles every other message as the
// outermost loop does (posted work included), except that no release runs inside it. A
// WM_QUIT it meets is posted again for the outermost loop.
void RunModalLoop(HWND dialog, const bool& done);

}  // namespace platform
