// The program's end when an exception finds no handler. The runtime's own handler names the
// exception on standard error, which a windowed program or a control inside a host does not
// have, and for that it carries a whole C++ name demangler (a tenth of each shipped file):
// this one ends the same way, without the message. Linked into the programs themselves, so
// that it replaces the runtime's.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx
