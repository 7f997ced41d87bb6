// The thread's table of hooked windows and the window procedure that turns their wheel
// messages into the Wheel control's event before passing every message on.
#pragma once

#include "hook_table.h"
#include "wheel.h"

#include <windows.h>

#include <atomic>

namespace rotelle {

// Replaces the window's procedure and records the window with its control; an earlier entry
// for the same window is removed first. Ignores a window of 0. Fails with an overflow error
// when the thread's table already holds 32767 windows. Where another component subclassed the
// window after us and we are still in its chain, that place is taken again instead.
HRESULT HookWindow(HWND Window, Wheel* Control);

// Puts back the procedure of the first entry for the window and removes the entry, while
// ours is the window's procedure; otherwise only lets the control go and keeps passing the
// window's messages on. With `seulement`, only an entry of that control is touched.
void UnhookWindow(HWND Window, const Wheel* seulement = nullptr);

// Puts back the entry's saved procedure where ours is still the window's (at thread end).
void DefaitHook(const HookEntry<ComRef<Wheel>>& entree);

LRESULT CALLBACK HookWindowProc(HWND Window, UINT message, WPARAM wParam, LPARAM lParam);

// Entries in this thread's table, for those who look from outside.
int HookCount();

// Places kept in other subclassers' chains, in every thread: our procedure is still called
// there, so the module must stay loaded.
extern std::atomic<long> placesgardees;

}  // namespace rotelle
