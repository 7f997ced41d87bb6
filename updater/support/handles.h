// A kernel handle (a file, a thread, an event, a process), closed at the end of its scope: what
// the file routines, the hashing and the processes share.
#pragma once

#include <windows.h>

#include <memory>

namespace libmaj {

struct FermeFichier {
    void operator()(HANDLE h) const;
};
using PoigneeFichier = std::unique_ptr<void, FermeFichier>;
// Any other handle closed with CloseHandle: threads, events.
using Poignee = std::unique_ptr<void, FermeFichier>;

}  // namespace libmaj
