// Test helper: finds the message boxes of another process, reads what they show and presses
// their buttons, so that tests can drive the real MessageBoxA of a program under test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace uihelper {

enum class Icon { none, information, question, warning, stop, unknown };

const char* iconName(Icon icon);

struct MessageBoxView {
    HWND window = nullptr;
    std::string title;        // code page 1252 bytes, as the program passed them
    std::string text;
    Icon icon = Icon::unknown;
    std::vector<int> buttons; // IDOK, IDCANCEL, ... in that order of ids
};

// Visible message boxes (dialog class "#32770" holding a message text) of process `pid`.
std::vector<HWND> messageBoxesOf(DWORD pid);

// Waits up to `timeoutMs` for a message box of `pid` and reads it.
std::optional<MessageBoxView> waitForMessageBox(DWORD pid, DWORD timeoutMs);

MessageBoxView readMessageBox(HWND box);

// Presses the button with id `button` (IDOK, IDCANCEL...); false when the box has none.
bool pressButton(HWND box, int button);

// Runs `routine` on this thread while another thread answers the message boxes it shows, in
// turn, with `buttons`; gives what each box showed. A box not seen within `waitMs` ends the
// answering.
template <class Routine>
std::vector<MessageBoxView> answering(std::vector<int> buttons, Routine routine, DWORD waitMs = 15000)
{
    std::vector<MessageBoxView> seen;
    std::thread answerer([&] {
        for (int button : buttons) {
            auto box = waitForMessageBox(GetCurrentProcessId(), waitMs);
            if (!box)
                return;
            seen.push_back(*box);
            pressButton(box->window, button);
            while (IsWindow(box->window))
                Sleep(20);
        }
    });
    routine();
    answerer.join();
    return seen;
}

}  // namespace uihelper
