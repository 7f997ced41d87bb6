#include "modhook.h"

#include "thread_state.h"
#include "wheel_message.h"

namespace rotelle {

std::atomic<long> placesgardees{0};

namespace {

// The same as VB's overflow error, as hosts of such controls expect it.
constexpr HRESULT CTL_E_OVERFLOW_ = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6);

WNDPROC procedure(std::intptr_t valeur)
{
    return reinterpret_cast<WNDPROC>(valeur);
}

// A window's procedure is set, read and called through the calls of its own character set: an
// ANSI procedure on a Unicode window has every message converted through the code page, and
// text outside it lost.
LONG_PTR poseprocedure(HWND Window, LONG_PTR p, bool unicode)
{
    return unicode ? SetWindowLongPtrW(Window, GWLP_WNDPROC, p) : SetWindowLongPtrA(Window, GWLP_WNDPROC, p);
}

LRESULT appelle(WNDPROC p, bool unicode, HWND Window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return unicode ? CallWindowProcW(p, Window, message, wParam, lParam)
                   : CallWindowProcA(p, Window, message, wParam, lParam);
}

bool estnotre(HWND Window)
{
    const WNDPROC notre = &HookWindowProc;
    return procedure(IsWindowUnicode(Window) ? GetWindowLongPtrW(Window, GWLP_WNDPROC)
                                             : GetWindowLongPtrA(Window, GWLP_WNDPROC))
           == notre;
}

// Where a message goes that reaches our procedure for a window this thread has no entry for:
// the window class's own procedure, else the default one. Never ourselves again.
WNDPROC procedurederepli(HWND Window, bool unicode)
{
    const auto p = procedure(static_cast<std::intptr_t>(unicode ? GetClassLongPtrW(Window, GCLP_WNDPROC)
                                                                : GetClassLongPtrA(Window, GCLP_WNDPROC)));
    if (p && p != &HookWindowProc)
        return p;
    return unicode ? &DefWindowProcW : &DefWindowProcA;
}

// Removes the entry; a place kept in another subclasser's chain no longer holds the module.
HookEntry<ComRef<CibleMolette>> retireentree(HookTable<ComRef<CibleMolette>>& table, std::size_t i)
{
    HookEntry<ComRef<CibleMolette>> entree = table.retire(i);
    if (!entree.Control)
        --placesgardees;
    return entree;
}

// Puts back the entry's saved procedure where ours is still the window's.
void defaithook(const HookEntry<ComRef<CibleMolette>>& entree)
{
    const HWND Window = reinterpret_cast<HWND>(entree.Window);
    if (estnotre(Window))
        poseprocedure(Window, entree.PrevWndProc, entree.Unicode);
    // The thread's windows end with it: a kept place is never called again.
    if (!entree.Control)
        --placesgardees;
}

}  // namespace

int HookCount()
{
    const EtatThread* e = etatexistant();
    return e ? e->table.HookCount() : 0;
}

HRESULT HookWindow(HWND Window, CibleMolette* Control, const wchar_t** pourquoi)
{
    if (!Window)
        return S_OK;
    // Another thread's window gets its messages where this thread's table is not, another
    // process's cannot be subclassed at all, and a handle that is no window has no thread:
    // none is hooked, so no entry is left that nothing would ever remove.
    if (GetWindowThreadProcessId(Window, nullptr) != GetCurrentThreadId()) {
        *pourquoi = L"The form's window belongs to another thread";
        return E_INVALIDARG;
    }
    UnhookWindow(Window);
    auto& table = etatthread().table;
    const auto cle = reinterpret_cast<std::intptr_t>(Window);
    HookEntry<ComRef<CibleMolette>> entree{cle, ComRef<CibleMolette>(Control), 0, IsWindowUnicode(Window) != FALSE};
    // A place still held in the window's chain below another subclasser is taken again:
    // subclassing a second time would make our procedure its own predecessor.
    const auto place = table.trouve(cle);
    if (place) {
        const auto reprise = retireentree(table, *place);
        entree.PrevWndProc = reprise.PrevWndProc;
        entree.Unicode = reprise.Unicode;
    }
    if (!table.ajoute(std::move(entree))) {
        *pourquoi = L"Overflow: too many windows hooked on this thread";
        return CTL_E_OVERFLOW_;
    }
    if (!place) {
        auto& ajoutee = table[table.size() - 1];
        SetLastError(0);
        LONG_PTR precedente = poseprocedure(Window, reinterpret_cast<LONG_PTR>(&HookWindowProc), ajoutee.Unicode);
        const DWORD echec = precedente == 0 ? GetLastError() : 0;
        if (echec != 0) {
            // Not hooked after all: an entry kept for it would hold the control for ever.
            table.retire(table.size() - 1);
            *pourquoi = L"The form's window cannot be subclassed";
            return HRESULT_FROM_WIN32(echec);
        }
        if (procedure(precedente) == &HookWindowProc)
            precedente = reinterpret_cast<LONG_PTR>(procedurederepli(Window, ajoutee.Unicode));
        ajoutee.PrevWndProc = precedente;
    }
    return S_OK;
}

void UnhookWindow(HWND Window, const CibleMolette* seulement)
{
    EtatThread* e = etatexistant();
    const auto i = e ? e->table.trouve(reinterpret_cast<std::intptr_t>(Window)) : std::nullopt;
    if (!i)
        return;
    auto& table = e->table;
    if (seulement && table[*i].Control.get() != seulement)
        return;
    if (estnotre(Window) || !IsWindow(Window)) {
        poseprocedure(Window, table[*i].PrevWndProc, table[*i].Unicode);
        // Released after the table is consistent: the release may end the control, whose
        // Terminate unhooks again.
        auto retiree = retireentree(table, *i);
        return;
    }
    // Another component subclassed the window after us and calls our procedure as its
    // previous one: putting the saved procedure back would cut it out. Our place in the chain
    // stays, without a control, passing every message on until the window is ours again; the
    // module stays loaded meanwhile.
    if (table[*i].Control) {
        ++placesgardees;
        ComRef<CibleMolette> relachee = std::move(table[*i].Control);
    }
}

LRESULT CALLBACK HookWindowProc(HWND Window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto cle = reinterpret_cast<std::intptr_t>(Window);
    EtatThread* e = etatexistant();
    const auto i = e ? e->table.trouve(cle) : std::nullopt;
    if (!i) {
        const bool unicode = IsWindowUnicode(Window) != FALSE;
        return appelle(procedurederepli(Window, unicode), unicode, Window, message, wParam, lParam);
    }
    auto& table = e->table;
    // What the entry holds as the message arrives. The host's handler may stop or restart
    // the hook, or release the control: the control lives until the call is over, and the
    // message then goes to the procedure of the window's entry as it is found afresh, or, with
    // no entry left, to the one it had when the message arrived.
    WNDPROC precedente = procedure(table[*i].PrevWndProc);
    bool unicode = table[*i].Unicode;
    if (message == WM_NCDESTROY || (!table[*i].Control && estnotre(Window))) {
        // The window's last message, or a place kept in another subclasser's chain that is
        // ours again: the entry goes, and with it the control's reference once the message
        // has been passed on. A wheel event still running for a window that ends learns so.
        if (message == WM_NCDESTROY)
            for (CadreEvenement* c = e->evenements; c; c = c->precedent)
                if (c->fenetre == cle)
                    c->detruite = true;
        const auto retiree = retireentree(table, *i);
        if (estnotre(Window))
            poseprocedure(Window, retiree.PrevWndProc, retiree.Unicode);
        return appelle(precedente, unicode, Window, message, wParam, lParam);
    }
    ComRef<CibleMolette> controle;   // held until the message has been passed on
    if (message == WM_MOUSEWHEEL_ && table[*i].Control) {
        controle = table[*i].Control;
        CadreEvenement cadre{cle, false, e->evenements};
        e->evenements = &cadre;
        HRESULT hr = E_FAIL;
        try {
            hr = controle->RaiseWheelRotate(WheelDeltaOf(static_cast<std::uint64_t>(wParam)),
                                            XOf(static_cast<std::uint64_t>(lParam)),
                                            YOf(static_cast<std::uint64_t>(lParam)));
        } catch (...) {
        }
        e->evenements = cadre.precedent;
        // Nobody asks after a failed event: its error must not linger for the host's next call.
        if (FAILED(hr))
            SetErrorInfo(0, nullptr);
        // A handler that closed the form leaves no window to pass the message to, and the
        // saved procedure may have gone with it; the handle may even name a new window now.
        if (cadre.detruite || !IsWindow(Window))
            return 0;
        if (const auto j = table.trouve(cle)) {
            precedente = procedure(table[*j].PrevWndProc);
            unicode = table[*j].Unicode;
        }
    }
    return appelle(precedente, unicode, Window, message, wParam, lParam);
}

void finthread()
{
    EtatThread* e = etatexistant();
    if (!e)
        return;
    // The thread's windows go with it: each hook is undone where ours is still the window's
    // procedure, then its control released, with the table consistent for the control's own
    // unhooking on the way.
    e->table.vide([](const HookEntry<ComRef<CibleMolette>>& entree) { defaithook(entree); });
    e->about.reset();
    oublieetat();
}

}  // namespace rotelle
