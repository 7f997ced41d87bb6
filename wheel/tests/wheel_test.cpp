// The Wheel control in a container of our own, created through the library's class factory.
#include "container.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

using container::Event;
using container::Form;
using container::Site;

namespace {

const GUID DIID___Wheel_ = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};

WPARAM wheelWParam(short delta, WORD keys = 0)
{
    return MAKEWPARAM(keys, static_cast<WORD>(delta));
}

LPARAM position(WORD x, short y)
{
    return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(x, static_cast<WORD>(y))));
}

int count(const Form& f, Event::Kind kind)
{
    int n = 0;
    for (const auto& e : f.events)
        n += e.kind == kind;
    return n;
}

WNDPROC currentProcedure(HWND w)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(w, GWLP_WNDPROC));
}

// A sink of the tests' own beside the host's, counting its calls; it lives on the test's stack.
class CountingSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != DIID___Wheel_) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ++calls;
        if (then)
            then();
        return S_OK;
    }
    ULONG refs = 1;
    int calls = 0;
    std::function<void()> then;
};

class WheelControl : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override
    {
        // A hooked control stays alive until it is stopped; a host that is done stops it.
        for (auto& s : sites)
            s->call(L"StopWheel");
        sites.clear();
        form.reset();
        CoUninitialize();
    }
    Site* add(bool userMode = true, bool load = true)
    {
        sites.emplace_back(form->add(userMode, load));
        return sites.back().get();
    }
    LRESULT wheel(short delta, WORD x = 100, short y = -10)
    {
        return SendMessageA(form->window(), WM_MOUSEWHEEL, wheelWParam(delta, MK_SHIFT), position(x, y));
    }
    std::unique_ptr<Form> form = std::make_unique<Form>();
    std::vector<std::unique_ptr<Site>> sites;
};

}  // namespace

TEST_F(WheelControl, TheEventComesBeforeTheFormWithTheFocusedControl)
{
    Site* site = add();
    ASSERT_NE(site->control, nullptr);
    SetFocus(form->child(1));
    EXPECT_EQ(wheel(-120, 100, -10), form->wheelResult);   // the form's own answer
    ASSERT_EQ(form->events.size(), 2u);
    const Event& e = form->events[0];
    EXPECT_EQ(e.kind, Event::wheelRotate);
    EXPECT_EQ(e.argCount, 4);
    EXPECT_EQ(e.types[3], VT_BYREF | VT_DISPATCH);   // Ctrl first, so last in the array
    EXPECT_EQ(e.types[0], VT_BYREF | VT_I4);
    EXPECT_EQ(e.delta, 1);   // a notch toward the user
    EXPECT_EQ(e.x, 100);
    EXPECT_EQ(e.y, -10);
    EXPECT_EQ(e.ctrl, form->childObject(1));
    EXPECT_EQ(form->events[1].kind, Event::formMessage);
    EXPECT_EQ(form->events[1].message, static_cast<UINT>(WM_MOUSEWHEEL));

    SetFocus(form->child(0));
    wheel(240, 65436, 100);
    EXPECT_EQ(form->events[2].delta, -2);
    EXPECT_EQ(form->events[2].x, 65436);
    EXPECT_EQ(form->events[2].ctrl, form->childObject(0));
    wheel(60);   // a high-resolution wheel's part of a notch still raises the event
    EXPECT_EQ(form->events[4].delta, 0);
}

TEST_F(WheelControl, OtherMessagesAndFrozenEventsPassUnchanged)
{
    Site* site = add();
    EXPECT_EQ(SendMessageA(form->window(), WM_APP, 1, 2), 0x77);
    ASSERT_EQ(form->events.size(), 1u);
    EXPECT_EQ(form->events[0].kind, Event::formMessage);

    IOleControl* control = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)), S_OK);
    control->FreezeEvents(TRUE);
    control->FreezeEvents(TRUE);
    control->FreezeEvents(FALSE);   // freezes nest
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(count(*form, Event::wheelRotate), 0);
    control->FreezeEvents(FALSE);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(count(*form, Event::formMessage), 3);
    control->Release();
}

TEST_F(WheelControl, InADesignEnvironmentNothingIsHookedUntilTheFormRuns)
{
    Site* site = add(false);
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 0);
    EXPECT_EQ(site->call(L"StopWheel"), S_OK);
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);

    // The designer runs the form, then goes back to design.
    IOleControl* control = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)), S_OK);
    site->userMode = true;
    control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    site->userMode = false;
    control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
    control->Release();
}

TEST_F(WheelControl, ANewControlWithoutSavedStateStartsOnlyWhenAsked)
{
    Site* site = add(true, false);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 0);
    EXPECT_EQ(site->call(L"StartWheel"), S_OK);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
}

TEST_F(WheelControl, StartingTwiceGivesOneEventPerMessageAndStopRestoresTheForm)
{
    Site* site = add();
    EXPECT_EQ(site->call(L"StartWheel"), S_OK);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(count(*form, Event::formMessage), 1);
    EXPECT_EQ(site->call(L"StopWheel"), S_OK);
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(site->call(L"StopWheel"), S_OK);   // a second stop does nothing
}

TEST_F(WheelControl, OfTwoControlsOnAFormTheLastStartedGetsTheEvents)
{
    Site* first = add();
    Site* second = add();
    wheel(-120);
    ASSERT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(form->events[0].site, second);
    EXPECT_EQ(first->call(L"StopWheel"), S_OK);   // either one stops the form's events
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
}

// The end of one control touches only its own hook: another that took the form over keeps it,
// and a control started on another window lets its old form go.
TEST_F(WheelControl, EachControlsTeardownEndsOnlyItsOwnHook)
{
    Site* first = add();
    Site* second = add();
    first->releaseControl();   // not the form's control any more: its end leaves the form hooked
    wheel(-120);
    ASSERT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(form->events[0].site, second);
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    form->hwndGiven = other;
    ASSERT_EQ(second->call(L"StartWheel"), S_OK);
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
    EXPECT_NE(currentProcedure(other), DefWindowProcA);
    // Closed as ATL and MFC close a control before they let it go: its hook ends there.
    EXPECT_EQ(second->control->Close(OLECLOSE_NOSAVE), S_OK);
    SendMessageA(other, WM_MOUSEWHEEL, wheelWParam(-120), 0);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    second->releaseControl();
    EXPECT_TRUE(container::libraryUnloadable());
    DestroyWindow(other);
}

// A form destroyed while hooked lets its control go with its window.
TEST_F(WheelControl, AFormDestroyedWhileHookedFreesItsControl)
{
    Site* site = add();
    site->releaseControl();   // the table holds the control's last reference
    EXPECT_FALSE(container::libraryUnloadable());
    form.reset();
    EXPECT_TRUE(container::libraryUnloadable());
}

// A Unicode form keeps text outside the code page while hooked, and its wheel still raises
// the event.
TEST_F(WheelControl, AUnicodeFormKeepsItsTextWhileHooked)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RotelleTestUnicodeForm";
    RegisterClassW(&wc);
    const wchar_t* text = L"\u0141\u00f3d\u017a \u65e5\u672c \u20ac";
    HWND w = CreateWindowExW(0, wc.lpszClassName, text, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(w, nullptr);
    form->hwndGiven = w;
    Site* site = add(true, false);
    ASSERT_EQ(site->call(L"StartWheel"), S_OK);
    wchar_t back[64] = {};
    GetWindowTextW(w, back, 64);
    EXPECT_STREQ(back, text);
    const wchar_t* changed = L"\u0393\u03b5\u03b9\u03ac \u4e16\u754c";
    SetWindowTextW(w, changed);
    GetWindowTextW(w, back, 64);
    EXPECT_STREQ(back, changed);
    SendMessageW(w, WM_MOUSEWHEEL, wheelWParam(-120), 0);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(site->call(L"StopWheel"), S_OK);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)), DefWindowProcW);
    DestroyWindow(w);
}

TEST_F(WheelControl, KeepsItsSizeWhateverIsAsked)
{
    Site* site = add(false);
    SIZEL asked = {5000, 3000};
    EXPECT_EQ(site->control->SetExtent(DVASPECT_CONTENT, &asked), S_OK);
    SIZEL size = {};
    ASSERT_EQ(site->control->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 882);   // 500 twips
    EXPECT_EQ(size.cy, 882);
    DWORD status = 0;
    site->control->GetMiscStatus(DVASPECT_CONTENT, &status);
    EXPECT_EQ(status, 0x00020591u);
}

TEST_F(WheelControl, StopWheelInsideTheHandler)
{
    add();
    form->duringEvent = [](Site& s) { s.call(L"StopWheel"); };
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(count(*form, Event::formMessage), 1);   // the form still receives it
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
}

TEST_F(WheelControl, StartWheelInsideTheHandler)
{
    add();
    form->duringEvent = [](Site& s) { s.call(L"StartWheel"); };
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(count(*form, Event::formMessage), 1);
    form->duringEvent = nullptr;
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 2);
    EXPECT_EQ(count(*form, Event::formMessage), 2);
}

TEST_F(WheelControl, ReleasingTheLastReferenceInsideTheHandler)
{
    add();
    form->duringEvent = [](Site& s) {
        s.call(L"StopWheel");
        s.releaseControl();
    };
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(count(*form, Event::formMessage), 1);
    EXPECT_TRUE(container::libraryUnloadable());
}

// A sink that an earlier handler of the same event disconnected is not called any more.
TEST_F(WheelControl, ASinkDisconnectedByAnEarlierHandlerIsNotCalled)
{
    Site* site = add();
    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)), S_OK);
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(points->FindConnectionPoint(DIID___Wheel_, &point), S_OK);
    points->Release();
    CountingSink first, second;
    DWORD a = 0, b = 0;
    ASSERT_EQ(point->Advise(&first, &a), S_OK);
    ASSERT_EQ(point->Advise(&second, &b), S_OK);
    first.then = [&] { point->Unadvise(b); };
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 0);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);   // the host's own sink, advised before them
    EXPECT_EQ(point->Unadvise(a), S_OK);
    point->Release();
    EXPECT_EQ(first.refs, 1u);
    EXPECT_EQ(second.refs, 1u);
}

// Saved state loads even where the hook cannot start (here the form's hWnd cannot be read):
// the control is then stopped and the form is left alone.
TEST_F(WheelControl, LoadingSucceedsWhereTheHookCannotStart)
{
    form->hwndFails = true;
    Site* site = add(true, false);
    IPersistStreamInit* stream = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&stream)), S_OK);
    IStream* saved = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &saved), S_OK);
    EXPECT_EQ(stream->Load(saved), S_OK);
    saved->Release();
    stream->Release();
    IPersistPropertyBag* bag = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag)), S_OK);
    struct EmptyBag : IPropertyBag {
        STDMETHODIMP QueryInterface(REFIID, void** ppv) override { *ppv = nullptr; return E_NOINTERFACE; }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
        STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
        STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    } empty;
    EXPECT_EQ(bag->Load(&empty, nullptr), S_OK);
    bag->Release();
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);   // a load that succeeded leaves no error behind
    if (left)
        left->Release();
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 0);
    EXPECT_EQ(count(*form, Event::formMessage), 1);
}

// A form whose window is another thread's (a host that creates its forms on a thread of their
// own) or no window at all is not hooked: StartWheel says so and leaves no entry behind.
TEST_F(WheelControl, AWindowOfAnotherThreadOrNoneIsNeverHooked)
{
    HWND other = nullptr;
    HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr), done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetEvent(made);
        while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&m);
        }
        DestroyWindow(other);
    });
    WaitForSingleObject(made, INFINITE);
    ASSERT_NE(other, nullptr);
    const WNDPROC before = currentProcedure(other);
    Site* site = add(true, false);
    EXPECT_EQ(site->call(L"StartWheel"), S_OK);   // its own form, as ever
    for (HWND w : {other, reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ffe1234))}) {
        form->hwndGiven = w;
        EXPECT_TRUE(FAILED(site->call(L"StartWheel")));
    }
    EXPECT_EQ(currentProcedure(other), before);
    form->hwndGiven = nullptr;
    EXPECT_EQ(wheel(-120), form->wheelResult);   // a refused start leaves the hook it had
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    site->call(L"StopWheel");
    EXPECT_EQ(currentProcedure(form->window()), &Form::procedure);
    site->releaseControl();
    EXPECT_TRUE(container::libraryUnloadable());   // no entry kept the control
    SetEvent(done);
    owner.join();
    CloseHandle(made);
    CloseHandle(done);
}

// A handler that closes the form ends the message there: nothing is passed on for a window
// that no longer exists, whose procedure may have gone with it.
TEST_F(WheelControl, AHandlerThatClosesTheFormEndsTheMessageThere)
{
    add();
    form->duringEvent = [this](Site&) { DestroyWindow(form->window()); };
    EXPECT_EQ(wheel(-120), 0);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(count(*form, Event::formMessage), 0);
    EXPECT_FALSE(IsWindow(form->window()));
}

TEST_F(WheelControl, AFailedEventStillPassesTheMessageOn)
{
    add();
    form->activeControlFails = true;
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(count(*form, Event::wheelRotate), 0);
    EXPECT_EQ(count(*form, Event::formMessage), 1);
}

TEST_F(WheelControl, EveryObjectIsFreedOnceTheContainerLetsGo)
{
    Site* site = add();
    wheel(-120);
    EXPECT_FALSE(container::libraryUnloadable());
    site->releaseControl();
    // Still hooked: the table keeps the control until StopWheel.
    EXPECT_FALSE(container::libraryUnloadable());
    Site* other = add();
    other->call(L"StopWheel");   // removes the form's entry: the first control is released
    ASSERT_EQ(other->call(L"About"), S_OK);
    other->releaseControl();
    EXPECT_FALSE(container::libraryUnloadable());   // its dialog is still open
    DestroyWindow(FindWindowA("RotelleAbout", nullptr));
    EXPECT_TRUE(container::libraryUnloadable());
}

TEST_F(WheelControl, AFormThreadThatEndsHookedFreesEverything)
{
    std::thread([] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Form form;
        Site* site = form.add();
        site->call(L"About");
        site->releaseControl();   // the table holds the control's last reference
        CoUninitialize();
    }).join();
    EXPECT_TRUE(container::libraryUnloadable());
}

namespace {

// Another component that subclasses the form after the control, and counts what it sees.
struct OtherSubclasser {
    static inline WNDPROC previous = nullptr;
    static inline int seen = 0;
    static LRESULT CALLBACK procedure(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        ++seen;
        return CallWindowProcA(previous, w, m, wp, lp);
    }
    static void hook(HWND w)
    {
        seen = 0;
        previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, LONG_PTR(&procedure)));
    }
    static void unhook(HWND w) { SetWindowLongPtrA(w, GWLP_WNDPROC, LONG_PTR(previous)); }
};

}  // namespace

TEST_F(WheelControl, AnotherSubclasserAboveTheControlIsNeverCutOut)
{
    Site* site = add();
    HWND w = form->window();
    for (bool controlFirst : {true, false}) {
        OtherSubclasser::hook(w);
        if (controlFirst) {
            site->call(L"StopWheel");
            EXPECT_EQ(currentProcedure(w), &OtherSubclasser::procedure);
            EXPECT_EQ(SendMessageA(w, WM_APP, 0, 0), 0x77);   // the form still answers
            EXPECT_EQ(OtherSubclasser::seen, 1);
            OtherSubclasser::unhook(w);   // puts our procedure back, which passes on
            EXPECT_EQ(SendMessageA(w, WM_APP, 0, 0), 0x77);
        } else {
            OtherSubclasser::unhook(w);
            site->call(L"StopWheel");
        }
        EXPECT_EQ(SendMessageA(w, WM_APP, 0, 0), 0x77);
        EXPECT_EQ(currentProcedure(w), &Form::procedure) << controlFirst;   // nothing stale left
        form->events.clear();
        ASSERT_EQ(site->call(L"StartWheel"), S_OK);
        EXPECT_EQ(wheel(-120), form->wheelResult);
        EXPECT_EQ(count(*form, Event::wheelRotate), 1) << controlFirst;
    }
    // Started again while still in the other's chain: one event, no loop.
    OtherSubclasser::hook(w);
    site->call(L"StopWheel");
    ASSERT_EQ(site->call(L"StartWheel"), S_OK);
    form->events.clear();
    EXPECT_EQ(wheel(-120), form->wheelResult);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(OtherSubclasser::seen, 1);
    // Given back while a handler runs: the wheel message still reaches the form after it.
    form->duringEvent = [w](Site& s) {
        s.call(L"StopWheel");
        OtherSubclasser::unhook(w);
        SendMessageA(w, WM_APP, 0, 0);
    };
    EXPECT_EQ(wheel(-120), form->wheelResult);
    form->duringEvent = nullptr;
    ASSERT_EQ(site->call(L"StartWheel"), S_OK);
    OtherSubclasser::hook(w);
    // A place kept in the other's chain, with no control left, still needs the module.
    site->call(L"StopWheel");
    site->releaseControl();
    EXPECT_FALSE(container::libraryUnloadable());
    OtherSubclasser::unhook(w);
    EXPECT_EQ(SendMessageA(w, WM_APP, 0, 0), 0x77);   // ours again: the place is given back
    EXPECT_EQ(currentProcedure(w), &Form::procedure);
    EXPECT_TRUE(container::libraryUnloadable());
}

TEST_F(WheelControl, DescribesItselfThroughThePublishedTypeLibrary)
{
    Site* site = add(false);
    IDispatch* d = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
    UINT count = 0;
    d->GetTypeInfoCount(&count);
    EXPECT_EQ(count, 1u);
    ITypeInfo* ti = nullptr;
    ASSERT_EQ(d->GetTypeInfo(0, 0x409, &ti), S_OK);
    BSTR name = nullptr;
    ti->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, L"_Wheel");
    SysFreeString(name);
    ti->Release();

    const struct {
        const wchar_t* name;
        DISPID id;
    } members[] = {{L"About", -552}, {L"stopwheel", 0x60030004}, {L"STARTWHEEL", 0x60030005}};
    for (const auto& m : members) {
        LPOLESTR n = const_cast<LPOLESTR>(m.name);
        DISPID id = 0;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &n, 1, 0x409, &id), S_OK) << m.name;
        EXPECT_EQ(id, m.id) << m.name;
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Rotate");
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &unknown, 1, 0x409, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(d->GetIDsOfNames(IID_IDispatch, &unknown, 1, 0x409, &id), DISP_E_UNKNOWNINTERFACE);
    VARIANT arg;
    VariantInit(&arg);
    DISPPARAMS one = {&arg, nullptr, 1, 0};
    EXPECT_EQ(d->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(d->Invoke(0x60030004, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(d->Invoke(0x60030004, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    // A method that fails: its error comes in the EXCEPINFO when there is one, as the answer
    // itself otherwise.
    form->hwndFails = true;
    Site* failing = add(true, false);
    IDispatch* f = nullptr;
    ASSERT_EQ(failing->control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&f)), S_OK);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXCEPINFO excepinfo = {};
    EXPECT_EQ(f->Invoke(0x60030005, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &excepinfo, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excepinfo.scode, E_ACCESSDENIED);
    SysFreeString(excepinfo.bstrSource);
    SysFreeString(excepinfo.bstrDescription);
    EXPECT_EQ(f->Invoke(0x60030005, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_ACCESSDENIED);
    f->Release();
    form->hwndFails = false;
    d->Release();

    // No sink advised yet: still an enumerator, and an empty one.
    IEnumSTATDATA* advises = nullptr;
    EXPECT_EQ(site->control->EnumAdvise(&advises), S_OK);
    ASSERT_NE(advises, nullptr);
    STATDATA data = {};
    EXPECT_EQ(advises->Next(1, &data, nullptr), S_FALSE);
    advises->Release();

    IPersistStream* stream = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&stream)), S_OK);
    EXPECT_EQ(stream->Load(nullptr), E_POINTER);
    stream->Release();
    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)), S_OK);
    IEnumConnectionPoints* all = nullptr;
    ASSERT_EQ(points->EnumConnectionPoints(&all), S_OK);
    IConnectionPoint* found[2] = {};
    ULONG got = 0;
    EXPECT_EQ(all->Skip(1), S_OK);   // exactly to the end
    EXPECT_EQ(all->Skip(1), S_FALSE);
    EXPECT_EQ(all->Skip(0xFFFFFFFF), S_FALSE);   // never round to the start again
    EXPECT_EQ(all->Next(1, found, &got), S_FALSE);
    EXPECT_EQ(got, 0u);
    all->Reset();
    EXPECT_EQ(all->Next(2, found, &got), S_FALSE);
    ASSERT_EQ(got, 1u);   // its one point, for the event interface
    IID iid = {};
    found[0]->GetConnectionInterface(&iid);
    EXPECT_TRUE(IsEqualGUID(iid, DIID___Wheel_));
    found[0]->Release();
    all->Release();
    points->Release();

    IProvideClassInfo2* info = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)), S_OK);
    GUID source = {};
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    const GUID events = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
    EXPECT_TRUE(IsEqualGUID(source, events));
    ITypeInfo* cls = nullptr;
    ASSERT_EQ(info->GetClassInfo(&cls), S_OK);
    cls->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, L"Wheel");
    SysFreeString(name);
    cls->Release();
    info->Release();
}

TEST_F(WheelControl, HostsCallingThroughThePublishedCallTableReachTheMethods)
{
    Site* site = add();
    const GUID iid = {0x7CDC43CB, 0x57CB, 0x4FB3, {0xAE, 0xF4, 0x2B, 0xBB, 0x62, 0x47, 0x1F, 0x92}};
    void* wheelItf = nullptr;
    ASSERT_EQ(site->control->QueryInterface(iid, &wheelItf), S_OK);
    IUnknown* identity1 = nullptr;
    IUnknown* identity2 = nullptr;
    static_cast<IUnknown*>(wheelItf)->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity1));
    site->control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity2));
    EXPECT_EQ(identity1, identity2);   // one object, whichever interface asks
    identity1->Release();
    identity2->Release();

    // Offsets as a host compiled against the library finds them.
    unsigned tableSize = 0;
    std::map<std::wstring, int> slot = container::publishedSlots(tableSize);
    EXPECT_EQ(tableSize, 492 * sizeof(void*));
    EXPECT_EQ(slot[L"About"], 489);
    EXPECT_EQ(slot[L"StopWheel"], 490);
    EXPECT_EQ(slot[L"StartWheel"], 491);

    using Method = HRESULT(STDMETHODCALLTYPE*)(void*);
    auto call = [&](int i) { return reinterpret_cast<Method>((*static_cast<void***>(wheelItf))[i])(wheelItf); };
    EXPECT_EQ(call(slot[L"StopWheel"]), S_OK);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 0);
    EXPECT_EQ(call(slot[L"StartWheel"]), S_OK);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    EXPECT_EQ(call(100), E_NOTIMPL);   // the base object's entries are not provided
    static_cast<IUnknown*>(wheelItf)->Release();
    // IDispatch is the same dual table, as the library describes it.
    ASSERT_EQ(site->control->QueryInterface(IID_IDispatch, &wheelItf), S_OK);
    EXPECT_EQ(call(slot[L"StopWheel"]), S_OK);
    wheel(-120);
    EXPECT_EQ(count(*form, Event::wheelRotate), 1);
    static_cast<IUnknown*>(wheelItf)->Release();
}

namespace {

void pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount64() < end);
}

HWND aboutDialog()
{
    HWND w = FindWindowA("RotelleAbout", nullptr);
    return w && IsWindowVisible(w) ? w : nullptr;
}

int px(int twips)
{
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return MulDiv(twips, dpi, 1440);
}

}  // namespace

TEST_F(WheelControl, AboutShowsOneModelessDialogAsDesigned)
{
    Site* site = add(false);
    EXPECT_EQ(site->call(L"About"), S_OK);   // returns at once: the dialog is modeless
    pump(100);
    HWND dialog = aboutDialog();
    ASSERT_NE(dialog, nullptr);
    char title[32] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Rotelle");
    const LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, px(4470));
    EXPECT_EQ(client.bottom, px(1725));
    POINT corner = {0, 0};
    ClientToScreen(dialog, &corner);
    EXPECT_EQ(corner.x, px(9075));
    EXPECT_EQ(corner.y, px(4500));

    HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_NE(ok, nullptr);
    char text[16] = {};
    GetWindowTextA(ok, text, sizeof text);
    EXPECT_STREQ(text, "Ok");
    EXPECT_EQ(GetFocus(), ok);   // first in the tab order
    EXPECT_EQ(GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    HWND line = FindWindowExA(dialog, nullptr, "STATIC", "Rotelle Corvane 1.0");
    ASSERT_NE(line, nullptr);
    RECT r;
    GetWindowRect(line, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, px(1080));
    EXPECT_EQ(r.top, px(360));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(line, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    GetObjectA(font, sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);

    RECT area;
    GetWindowRect(dialog, &area);
    EXPECT_TRUE(testsupport::savePng(testsupport::captureScreen(area), "about_dialog.png"));

    // A second About shows the same dialog; the host's form stays usable meanwhile.
    EXPECT_EQ(site->call(L"About"), S_OK);
    pump(50);
    EXPECT_EQ(aboutDialog(), dialog);
    EXPECT_TRUE(IsWindowEnabled(form->window()));
    EXPECT_EQ(SendMessageA(form->window(), WM_APP, 0, 0), 0x77);

    SendMessageA(dialog, WM_CLOSE, 0, 0);   // the close box
    pump(50);
    EXPECT_EQ(aboutDialog(), nullptr);
}

TEST_F(WheelControl, EnterEscapeAndTheButtonCloseTheDialogAndAboutRebuildsIt)
{
    Site* site = add(false);
    for (int way = 0; way < 3; ++way) {
        ASSERT_EQ(site->call(L"About"), S_OK);
        pump(100);
        HWND dialog = aboutDialog();
        ASSERT_NE(dialog, nullptr) << way;
        HWND ok = GetDlgItem(dialog, IDOK);
        EXPECT_EQ(GetFocus(), ok) << way;
        SetFocus(dialog);   // the user clicked the dialog's frame: the keys still work
        if (way == 0)
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        else if (way == 1)
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        else
            SendMessageA(ok, BM_CLICK, 0, 0);
        pump(100);
        EXPECT_EQ(aboutDialog(), nullptr) << way;
        EXPECT_FALSE(IsWindow(dialog)) << way;
    }
}

namespace {

// Draws the control through IViewObject into a white bitmap and gives the pixel at (x, y).
std::vector<COLORREF> drawn(Site* site)
{
    IViewObject* view = nullptr;
    std::vector<COLORREF> pixels;
    if (FAILED(site->control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view))))
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 40);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 40, 40};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECTL bounds = {0, 0, 40, 40};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    view->Release();
    return pixels;
}

}  // namespace

TEST_F(WheelControl, ShowsItsFacePictureOnlyInADesignEnvironment)
{
    const std::vector<COLORREF> design = drawn(add(false));
    ASSERT_EQ(design.size(), 1600u);
    EXPECT_EQ(design[15 * 40 + 15], RGB(255, 0, 0));   // the red centre of the cross-hair
    EXPECT_EQ(design[16 * 40 + 2], RGB(128, 128, 128));   // the grey bar
    EXPECT_EQ(design[0], RGB(255, 255, 255));   // transparent outside the ring

    const std::vector<COLORREF> running = drawn(add(true));
    ASSERT_EQ(running.size(), 1600u);
    for (COLORREF c : running)
        ASSERT_EQ(c, RGB(255, 255, 255));   // draws nothing in a running host
}
