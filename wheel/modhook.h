// The thread's table of hooked windows and the window procedure that turns their wheel
// messages into the Wheel control's event before passing every message on.
#pragma once

#include "com_ref.h"
#include "hook_table.h"
#include "hook_target.h"

#include <windows.h>

#include <atomic>

namespace rotelle {

// Replaces the window's procedure and records the window with its control; an earlier entry
// for the same window is removed first. Ignores a window of 0. Fails for a window of another
// thread (or no window), with an overflow error when the thread's table already holds 32767
// windows, and with the platform's error when the procedure cannot be replaced; `pourquoi`
// then says why, for the caller's error information. Where another component subclassed the
// window after us and we are still in its chain, that place is taken again instead.
HRESULT HookWindow(HWND Window, CibleMolette* Control, const wchar_t** pourquoi);

// Puts back the procedure of the first entry for the window and removes the entry, while
// ours is the window's procedure; otherwise only lets the control go and keeps passing the
// window's messages on. With `seulement`, only an entry of that control is touched.
void UnhookWindow(HWND Window, const CibleMolette* seulement = nullptr);

// At the end of the calling thread: each of its windows' hooks undone where ours is still the
// window's procedure, its controls released, its About dialog closed, its state gone.
void finthread();

LRESULT CALLBACK HookWindowProc(HWND Window, UINT message, WPARAM wParam, LPARAM lParam);

// Entries in this thread's table, for those who look from outside.
int HookCount();

// Places kept in other subclassers' chains, in every thread: our procedure is still called
// there, so the module must stay loaded.
extern std::atomic<long> placesgardees;

}  // namespace rotelle
