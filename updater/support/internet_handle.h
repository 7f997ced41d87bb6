// A WinINet handle (a session, a connection or a request), closed by the platform at the end
// of its scope: what the requests and the page and download routines above them share.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>

namespace libmaj {

struct FermeInternet {
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
using PoigneeInternet = std::unique_ptr<void, FermeInternet>;

}  // namespace libmaj
