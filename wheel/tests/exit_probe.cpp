// A host that ends the way careless ones do: it returns from main while a control still has its
// form hooked and the hook table holds the control's last reference. Run without arguments it
// turns on the heap's free checking and parameter validation for its own image, then runs
// itself as that host; Wine reports what the heap or a fault shows on the shared standard
// error, which the test watches. Exit code 0 only when the control was seen working.
#include "container.h"
#include "testsupport.h"

#include <cstdio>
#include <string>

namespace {

int hooked()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto* form = new container::Form;   // never closed: the process ends with the form open
    container::Site* site = form->add();
    SendMessageA(form->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    if (form->events.empty() || form->events[0].kind != container::Event::wheelRotate)
        return 2;
    site->releaseControl();
    std::puts("hooked; returning from main");
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        return hooked();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string image = std::string(self).substr(std::string(self).find_last_of('\\') + 1);
    HKEY options = nullptr;
    const std::string key = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + image;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &options, nullptr))
        return 3;
    const DWORD heapChecks = 0x60;   // FLG_HEAP_ENABLE_FREE_CHECK | FLG_HEAP_VALIDATE_PARAMETERS
    RegSetValueExA(options, "GlobalFlag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&heapChecks), sizeof heapChecks);
    RegCloseKey(options);
    const DWORD code = testsupport::runToEnd("\"" + std::string(self) + "\" host");
    return static_cast<int>(code);
}
