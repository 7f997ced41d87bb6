#include "modhook.h"

#include "hook_table.h"
#include "wheel.h"
#include "wheel_message.h"

namespace rotelle {

namespace {

thread_local HookTable<ComRef<Wheel>> table;

// The same as VB's overflow error, as hosts of such controls expect it.
constexpr HRESULT CTL_E_OVERFLOW_ = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6);

WNDPROC procedure(std::intptr_t valeur)
{
    return reinterpret_cast<WNDPROC>(valeur);
}

}  // namespace

int HookCount()
{
    return table.HookCount();
}

HRESULT HookWindow(HWND Window, Wheel* Control)
{
    if (!Window)
        return S_OK;
    UnhookWindow(Window);
    HookEntry<ComRef<Wheel>> entree{reinterpret_cast<std::intptr_t>(Window), ComRef<Wheel>(Control), 0};
    if (!table.ajoute(std::move(entree)))
        return Control->erreur(CTL_E_OVERFLOW_, L"Overflow: too many windows hooked on this thread");
    table[table.size() - 1].PrevWndProc =
        SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWindowProc));
    return S_OK;
}

void UnhookWindow(HWND Window)
{
    const auto i = table.trouve(reinterpret_cast<std::intptr_t>(Window));
    if (!i)
        return;
    SetWindowLongPtrA(Window, GWLP_WNDPROC, table[*i].PrevWndProc);
    // Released after the table is consistent: the release may end the control, whose
    // Terminate unhooks again.
    auto retiree = table.retire(*i);
}

LRESULT CALLBACK HookWindowProc(HWND Window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto cle = reinterpret_cast<std::intptr_t>(Window);
    const auto i = table.trouve(cle);
    if (!i)
        return 0;
    // What the entry holds as the message arrives. The host's handler may stop or restart
    // the hook, or release the control: the control lives until the call is over, and the
    // message then goes to the procedure of the window's entry as it is found afresh, or, with
    // no entry left, to the one it had when the message arrived.
    WNDPROC precedente = procedure(table[*i].PrevWndProc);
    if (message == WM_MOUSEWHEEL_) {
        ComRef<Wheel> controle = table[*i].Control;
        try {
            controle->RaiseWheelRotate(WheelDeltaOf(static_cast<std::uint64_t>(wParam)),
                                       XOf(static_cast<std::uint64_t>(lParam)),
                                       YOf(static_cast<std::uint64_t>(lParam)));
        } catch (...) {
        }
        if (const auto j = table.trouve(cle))
            precedente = procedure(table[*j].PrevWndProc);
    }
    return CallWindowProcA(precedente, Window, message, wParam, lParam);
}

}  // namespace rotelle
