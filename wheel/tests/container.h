// A small control container for the tests: a form window with focusable child controls, a
// client site with a switchable ambient user mode, an extender whose "Parent" is the form,
// and an event sink. It creates Wheel controls through the library's own class factory.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace container {

// What the container saw happen, in order.
struct Event {
    enum Kind { wheelRotate, formMessage } kind;
    UINT message = 0;                    // formMessage
    int argCount = 0;                    // wheelRotate: its arguments as the sink received them
    VARTYPE types[4] = {};
    LONG delta = 0, x = 0, y = 0;
    IDispatch* ctrl = nullptr;           // not held: compared only
    const void* site = nullptr;          // wheelRotate: whose sink received it
};

class Form;

// An IDispatch that answers property gets by name from a table of callbacks.
class Automation : public IDispatch {
public:
    using Getter = std::function<HRESULT(VARIANT*)>;
    explicit Automation(std::vector<std::pair<std::wstring, Getter>> properties);
    virtual ~Automation() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

protected:
    ULONG refs_ = 1;
    std::vector<std::pair<std::wstring, Getter>> properties_;
};

// One hosted control with its site, extender and event sink.
class Site;

class Form {
public:
    Form();
    ~Form();
    HWND window() const { return window_; }
    HWND child(int i) const { return children_[i]; }

    // Loads the library and creates a control through its class factory; the site reports
    // the given ambient user mode. `load` true loads saved state (which starts the hook), false
    // initialises a new control.
    Site* add(bool userMode = true, bool load = true);

    std::vector<Event> events;
    LRESULT wheelResult = 0x5A5A;         // what the form's own procedure answers to a wheel
    bool activeControlFails = false;      // "ActiveControl" cannot be read
    bool hwndFails = false;               // "hWnd" cannot be read
    HWND hwndGiven = nullptr;             // "hWnd" names this window rather than the form's
    std::function<void(Site&)> duringEvent;   // runs inside the host's WheelRotate handler

    IDispatch* formObject() const { return object_; }
    IDispatch* childObject(int i) const { return childObjects_[i]; }
    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);

private:
    HWND window_;
    HWND children_[2];
    IDispatch* object_;
    IDispatch* childObjects_[2];
};

class Site : public IOleClientSite, public IOleControlSite, public IDispatch {
public:
    Site(Form& form, bool userMode);
    virtual ~Site();
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** d) override;
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }
    // IDispatch: the ambient properties
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override;

    // The control and calls on it by name, as a late-binding host makes them.
    IOleObject* control = nullptr;
    HRESULT call(const wchar_t* method);
    void releaseControl();   // the host lets its reference go

    bool userMode;
    Form& form;

private:
    friend class Form;
    class Sink;
    ULONG refs_ = 1;
    IDispatch* extender_;
    Sink* sink_ = nullptr;
    DWORD cookie_ = 0;
    IConnectionPoint* point_ = nullptr;
};

// The library's own count of live objects and locks: S_OK from DllCanUnloadNow.
bool libraryUnloadable();

// The control library as loaded by the container, and one of its exports.
HMODULE library();
FARPROC exported(const char* name);

// The call-table slot of each method of _Wheel, as a host compiled against the library's
// type library finds it; `cbSizeVft` receives the table's size in bytes.
std::map<std::wstring, int> publishedSlots(unsigned& cbSizeVft);

}  // namespace container
