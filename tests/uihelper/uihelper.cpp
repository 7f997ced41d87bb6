#include "uihelper.h"

#include <map>
#include <thread>

namespace uihelper {

namespace {

constexpr int messageTextId = 0xFFFF;

bool isMessageBox(HWND w)
{
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    return std::string(cls) == "#32770" && IsWindowVisible(w) && GetDlgItem(w, messageTextId);
}

std::string textOf(HWND w)
{
    const int n = GetWindowTextLengthA(w);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    s.resize(static_cast<std::size_t>(GetWindowTextA(w, s.data(), n + 1)));
    return s;
}

BOOL CALLBACK findIconControl(HWND child, LPARAM out)
{
    char cls[16] = {};
    GetClassNameA(child, cls, sizeof cls);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
        *reinterpret_cast<HWND*>(out) = child;
        return FALSE;
    }
    return TRUE;
}

HWND iconControl(HWND box)
{
    HWND found = nullptr;
    EnumChildWindows(box, findIconControl, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct BoxSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectMessageBoxes(HWND w, LPARAM p)
{
    auto* s = reinterpret_cast<BoxSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == s->pid && isMessageBox(w))
        s->found.push_back(w);
    return TRUE;
}

// The pixels of a window as the screen shows them, after it has been brought to the front
// and repainted. Icons cannot be compared by handle across processes, so they are compared
// by what they look like.
std::vector<COLORREF> capture(HWND box, HWND control)
{
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(150);
    RECT r;
    GetWindowRect(control, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp && w > 0 && h > 0) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const COLORREF*>(bits);
        pixels.assign(p, p + static_cast<std::size_t>(w) * h);
        SelectObject(mem, old);
    }
    if (bmp)
        DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    SetWindowPos(box, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return pixels;
}

// What the icon of each style looks like in a message box of this very platform: shown
// once by this process and remembered.
const std::map<Icon, std::vector<COLORREF>>& references()
{
    static const std::map<Icon, std::vector<COLORREF>> refs = [] {
        std::map<Icon, std::vector<COLORREF>> m;
        const std::pair<Icon, UINT> styles[] = {{Icon::information, MB_ICONINFORMATION},
                                                {Icon::question, MB_ICONQUESTION},
                                                {Icon::warning, MB_ICONWARNING},
                                                {Icon::stop, MB_ICONSTOP}};
        for (const auto& [icon, style] : styles) {
            const std::string title = "uihelper reference " + std::to_string(style);
            std::thread shower([&] { MessageBoxA(nullptr, "reference", title.c_str(), style); });
            HWND box = nullptr;
            for (int i = 0; i < 200 && !box; ++i) {
                Sleep(25);
                for (HWND w : messageBoxesOf(GetCurrentProcessId()))
                    if (textOf(w) == title)
                        box = w;
            }
            if (box) {
                if (HWND control = iconControl(box))
                    m[icon] = capture(box, control);
                pressButton(box, IDOK);
            }
            shower.join();
        }
        return m;
    }();
    return refs;
}

}  // namespace

const char* iconName(Icon icon)
{
    switch (icon) {
    case Icon::none: return "none";
    case Icon::information: return "information";
    case Icon::question: return "question";
    case Icon::warning: return "warning";
    case Icon::stop: return "stop";
    default: return "unknown";
    }
}

std::vector<HWND> messageBoxesOf(DWORD pid)
{
    BoxSearch search{pid, {}};
    EnumWindows(collectMessageBoxes, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxView readMessageBox(HWND box)
{
    MessageBoxView v;
    v.window = box;
    v.title = textOf(box);
    v.text = textOf(GetDlgItem(box, messageTextId));
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND b = GetDlgItem(box, id);
        if (b && IsWindowVisible(b))
            v.buttons.push_back(id);
    }
    HWND control = iconControl(box);
    if (!control) {
        v.icon = Icon::none;
        return v;
    }
    const std::vector<COLORREF> seen = capture(box, control);
    v.icon = Icon::unknown;
    for (const auto& [icon, pixels] : references())
        if (!pixels.empty() && pixels == seen)
            v.icon = icon;
    return v;
}

std::optional<MessageBoxView> waitForMessageBox(DWORD pid, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        const auto boxes = messageBoxesOf(pid);
        if (!boxes.empty()) {
            Sleep(100);   // let it finish painting before it is read
            return readMessageBox(boxes.front());
        }
        Sleep(50);
    } while (GetTickCount64() < end);
    return std::nullopt;
}

bool pressButton(HWND box, int button)
{
    HWND b = GetDlgItem(box, button);
    if (!b || !IsWindowVisible(b))
        return false;
    return PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(b));
}

}  // namespace uihelper
