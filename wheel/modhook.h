// The thread's table of hooked windows and the window procedure that turns their wheel
// messages into the Wheel control's event before passing every message on.
#pragma once

#include <windows.h>

namespace rotelle {

class Wheel;

// Replaces the window's procedure and records the window with its control; an earlier entry
// for the same window is removed first. Ignores a window of 0. Fails with an overflow error
// when the thread's table already holds 32767 windows.
HRESULT HookWindow(HWND Window, Wheel* Control);

// Puts back the procedure of the first entry for the window and removes the entry.
void UnhookWindow(HWND Window);

LRESULT CALLBACK HookWindowProc(HWND Window, UINT message, WPARAM wParam, LPARAM lParam);

// Entries in this thread's table, for those who look from outside.
int HookCount();

}  // namespace rotelle
