#include "modhook.h"

#include "thread_state.h"
#include "wheel_message.h"

namespace rotelle {

namespace {

// The same as VB's overflow error, as hosts of such controls expect it.
constexpr HRESULT CTL_E_OVERFLOW_ = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6);

WNDPROC procedure(std::intptr_t valeur)
{
    return reinterpret_cast<WNDPROC>(valeur);
}

bool estnotre(HWND Window)
{
    return procedure(GetWindowLongPtrA(Window, GWLP_WNDPROC)) == &HookWindowProc;
}

// Where a message goes that reaches our procedure for a window this thread has no entry for:
// the window class's own procedure, else the default one. Never ourselves again.
WNDPROC procedurederepli(HWND Window)
{
    const auto p = procedure(static_cast<std::intptr_t>(GetClassLongPtrA(Window, GCLP_WNDPROC)));
    return p && p != &HookWindowProc ? p : &DefWindowProcA;
}

}  // namespace

int HookCount()
{
    const EtatThread* e = etatexistant();
    return e ? e->table.HookCount() : 0;
}

void DefaitHook(const HookEntry<ComRef<Wheel>>& entree)
{
    const HWND Window = reinterpret_cast<HWND>(entree.Window);
    if (estnotre(Window))
        SetWindowLongPtrA(Window, GWLP_WNDPROC, entree.PrevWndProc);
}

HRESULT HookWindow(HWND Window, Wheel* Control)
{
    if (!Window)
        return S_OK;
    // Another thread's window gets its messages where this thread's table is not, another
    // process's cannot be subclassed at all, and a handle that is no window has no thread:
    // none is hooked, so no entry is left that nothing would ever remove.
    if (GetWindowThreadProcessId(Window, nullptr) != GetCurrentThreadId())
        return Control->erreur(E_INVALIDARG, L"The form's window belongs to another thread");
    UnhookWindow(Window);
    auto& table = etatthread().table;
    const auto cle = reinterpret_cast<std::intptr_t>(Window);
    HookEntry<ComRef<Wheel>> entree{cle, ComRef<Wheel>(Control), 0};
    // A place still held in the window's chain below another subclasser is taken again:
    // subclassing a second time would make our procedure its own predecessor.
    const auto place = table.trouve(cle);
    if (place)
        entree.PrevWndProc = table.retire(*place).PrevWndProc;
    if (!table.ajoute(std::move(entree)))
        return Control->erreur(CTL_E_OVERFLOW_, L"Overflow: too many windows hooked on this thread");
    if (!place) {
        LONG_PTR precedente = SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWindowProc));
        if (procedure(precedente) == &HookWindowProc)
            precedente = reinterpret_cast<LONG_PTR>(procedurederepli(Window));
        table[table.size() - 1].PrevWndProc = precedente;
    }
    return S_OK;
}

void UnhookWindow(HWND Window)
{
    EtatThread* e = etatexistant();
    const auto i = e ? e->table.trouve(reinterpret_cast<std::intptr_t>(Window)) : std::nullopt;
    if (!i)
        return;
    auto& table = e->table;
    if (estnotre(Window) || !IsWindow(Window)) {
        SetWindowLongPtrA(Window, GWLP_WNDPROC, table[*i].PrevWndProc);
        // Released after the table is consistent: the release may end the control, whose
        // Terminate unhooks again.
        auto retiree = table.retire(*i);
        return;
    }
    // Another component subclassed the window after us and calls our procedure as its
    // previous one: putting the saved procedure back would cut it out. Our place in the chain
    // stays, without a control, passing every message on until the window is ours again.
    ComRef<Wheel> relachee = std::move(table[*i].Control);
}

LRESULT CALLBACK HookWindowProc(HWND Window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto cle = reinterpret_cast<std::intptr_t>(Window);
    EtatThread* e = etatexistant();
    const auto i = e ? e->table.trouve(cle) : std::nullopt;
    if (!i)
        return CallWindowProcA(procedurederepli(Window), Window, message, wParam, lParam);
    auto& table = e->table;
    // What the entry holds as the message arrives. The host's handler may stop or restart
    // the hook, or release the control: the control lives until the call is over, and the
    // message then goes to the procedure of the window's entry as it is found afresh, or, with
    // no entry left, to the one it had when the message arrived.
    WNDPROC precedente = procedure(table[*i].PrevWndProc);
    if (!table[*i].Control) {
        // A place kept in another subclasser's chain: given back once the window is ours
        // again, or goes.
        const bool notre = estnotre(Window);
        if (notre || message == WM_NCDESTROY) {
            if (notre)
                SetWindowLongPtrA(Window, GWLP_WNDPROC, table[*i].PrevWndProc);
            table.retire(*i);
        }
    } else if (message == WM_MOUSEWHEEL_) {
        ComRef<Wheel> controle = table[*i].Control;
        HRESULT hr = E_FAIL;
        try {
            hr = controle->RaiseWheelRotate(WheelDeltaOf(static_cast<std::uint64_t>(wParam)),
                                            XOf(static_cast<std::uint64_t>(lParam)),
                                            YOf(static_cast<std::uint64_t>(lParam)));
        } catch (...) {
        }
        // Nobody asks after a failed event: its error must not linger for the host's next call.
        if (FAILED(hr))
            SetErrorInfo(0, nullptr);
        // A handler that closed the form leaves no window to pass the message to, and the
        // saved procedure may have gone with it.
        if (!IsWindow(Window))
            return 0;
        if (const auto j = table.trouve(cle))
            precedente = procedure(table[*j].PrevWndProc);
    }
    return CallWindowProcA(precedente, Window, message, wParam, lParam);
}

}  // namespace rotelle
