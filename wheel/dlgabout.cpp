#include "dlgabout.h"

#include "module.h"

#include <initializer_list>

namespace rotelle {

namespace {

constexpr const char* classedialogue = "RotelleAbout";
constexpr int idOK = IDOK;
constexpr int idIcone = 101;
constexpr int idLibelle = 102;
constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD styleetendu = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
constexpr COLORREF marine = RGB(0, 0, 128);

struct Pixels {
    int x, y;
    int operator()(double twips, bool vertical = false) const
    {
        return MulDiv(static_cast<int>(twips), vertical ? y : x, 1440);
    }
};

Pixels resolution()
{
    HDC dc = GetDC(nullptr);
    Pixels p{GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY)};
    ReleaseDC(nullptr, dc);
    return p;
}

int CALLBACK trouvepolice(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM trouve)
{
    *reinterpret_cast<bool*>(trouve) = true;
    return 0;
}

// Verdana where it is installed, else a sans-serif face of similar width.
const char* face()
{
    LOGFONTA lf = {};
    lf.lfCharSet = ANSI_CHARSET;
    lstrcpyA(lf.lfFaceName, "Verdana");
    bool trouve = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, trouvepolice, reinterpret_cast<LPARAM>(&trouve), 0);
    ReleaseDC(nullptr, dc);
    return trouve ? "Verdana" : "Tahoma";
}

HFONT police(double points, int poids, const Pixels& px)
{
    return CreateFontA(-MulDiv(static_cast<int>(points * 100), px.y, 7200), 0, 0, 0, poids, FALSE, FALSE, FALSE,
                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face());
}

}  // namespace

void dlgAbout::oublieclasse()
{
    UnregisterClassA(classedialogue, instancemodule());
}

dlgAbout::~dlgAbout()
{
    decharge();
    if (proprietaire_)
        DestroyWindow(proprietaire_);
}

HRESULT dlgAbout::Show()
{
    if (!fenetre_) {
        const HRESULT hr = charge();
        if (FAILED(hr))
            return hr;
    }
    ShowWindow(fenetre_, SW_SHOWNORMAL);
    SetForegroundWindow(fenetre_);
    SetFocus(GetDlgItem(fenetre_, idOK));
    return S_OK;
}

HRESULT dlgAbout::charge()
{
    const HINSTANCE instance = instancemodule();
    static const bool enregistree = [instance] {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = classedialogue;
        return RegisterClassExA(&wc) != 0;
    }();
    if (!enregistree)
        return HRESULT_FROM_WIN32(GetLastError());
    if (!proprietaire_)
        proprietaire_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);

    const Pixels px = resolution();
    // The client area's corner goes to 9075, 4500 twips on the screen.
    RECT r = {px(9075), px(4500, true), px(9075) + px(4470), px(4500, true) + px(1725, true)};
    AdjustWindowRectEx(&r, style, FALSE, styleetendu);
    fenetre_ = CreateWindowExA(styleetendu, classedialogue, "Rotelle", style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, proprietaire_, nullptr, instance, this);
    if (!fenetre_)
        return HRESULT_FROM_WIN32(GetLastError());
    ++objetsvivants;   // the library stays loaded while its dialog is open
    icone_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0));
    SendMessageA(fenetre_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icone_));
    policebouton_ = police(8.25, FW_NORMAL, px);
    policelibelle_ = police(9.75, FW_BOLD, px);

    // In tab order: the button first (it has the focus), then the picture.
    HWND bouton = CreateWindowExA(0, "BUTTON", "Ok", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                  px(2520), px(960, true), px(1260), px(345, true), fenetre_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(idOK)), instance, nullptr);
    SendMessageA(bouton, WM_SETFONT, reinterpret_cast<WPARAM>(policebouton_), FALSE);
    SetWindowLongPtrA(bouton, GWLP_USERDATA, SetWindowLongPtrA(bouton, GWLP_WNDPROC,
                                                               reinterpret_cast<LONG_PTR>(&procedurebouton)));
    HWND image = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ICON, px(240), px(240, true), 32, 32,
                                 fenetre_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(idIcone)), instance, nullptr);
    SendMessageA(image, STM_SETICON, reinterpret_cast<WPARAM>(icone_), 0);
    // The product line sizes itself to its text, from its fixed corner.
    const char* texte = "Rotelle Corvane 1.0";
    HDC dc = GetDC(fenetre_);
    HGDIOBJ ancienne = SelectObject(dc, policelibelle_);
    SIZE taille = {};
    GetTextExtentPoint32A(dc, texte, lstrlenA(texte), &taille);
    SelectObject(dc, ancienne);
    ReleaseDC(fenetre_, dc);
    HWND libelle = CreateWindowExA(WS_EX_TRANSPARENT, "STATIC", texte, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                   px(1080), px(360, true), taille.cx, taille.cy, fenetre_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(idLibelle)), instance, nullptr);
    SendMessageA(libelle, WM_SETFONT, reinterpret_cast<WPARAM>(policelibelle_), FALSE);
    return S_OK;
}

void dlgAbout::decharge()
{
    if (fenetre_)
        DestroyWindow(fenetre_);   // the window's end does the rest
}

// However the window ends (closed, destroyed by the host, or with its thread), the dialog
// lets go of what it loaded and no longer keeps the library.
void dlgAbout::fin()
{
    fenetre_ = nullptr;
    --objetsvivants;
    for (HFONT* p : {&policebouton_, &policelibelle_})
        if (*p) {
            DeleteObject(*p);
            *p = nullptr;
        }
    if (icone_) {
        DestroyIcon(icone_);
        icone_ = nullptr;
    }
}

LRESULT CALLBACK dlgAbout::procedurebouton(HWND bouton, UINT message, WPARAM wp, LPARAM lp)
{
    const auto precedente = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(bouton, GWLP_USERDATA));
    // "Ok" is the default and the cancel button: Enter and Escape press it.
    if (message == WM_GETDLGCODE)
        return DLGC_WANTALLKEYS | DLGC_DEFPUSHBUTTON;
    if (message == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE)) {
        PostMessageA(GetParent(bouton), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(bouton));
        return 0;
    }
    return CallWindowProcA(precedente, bouton, message, wp, lp);
}

LRESULT CALLBACK dlgAbout::procedure(HWND w, UINT message, WPARAM wp, LPARAM lp)
{
    auto* self = reinterpret_cast<dlgAbout*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrA(w, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
        break;
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == idLibelle) {
            SetTextColor(reinterpret_cast<HDC>(wp), marine);
            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        }
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && self)
            self->decharge();
        return 0;
    case WM_NCDESTROY:
        if (self && self->fenetre_ == w)
            self->fin();
        break;
    case WM_CLOSE:
        if (self)
            self->decharge();
        return 0;
    // The dialog keeps the keyboard on "Ok", which turns Enter and Escape into a click,
    // whatever the user clicked or however the dialog came back to the front.
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(w, idOK));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE)
            SetFocus(GetDlgItem(w, idOK));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(w, message, wp, lp);
}

}  // namespace rotelle
