// The C++ library's own errors (a string index out of range, a length past the largest, a lock
// the platform refused, ...) raised without the library's exception classes. Those carry their
// message in a string type of their own, and with it came 60 KB of the library's code into
// the updater, a sixth of it (measured on the stripped i686 program). Every handler of the updater catches everything (`catch (...)`) and none
// reads a message, so an exception of one small type of its own serves them just as well.
// Linked into the programs themselves, so that these replace the library's.
#include <exception>
#include <new>
#include <typeinfo>

namespace {

struct ErreurBibliotheque : std::exception {
    const char* what() const noexcept override { return "library error"; }
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char*) { throw ErreurBibliotheque(); }
void __throw_domain_error(const char*) { throw ErreurBibliotheque(); }
void __throw_invalid_argument(const char*) { throw ErreurBibliotheque(); }
void __throw_length_error(const char*) { throw ErreurBibliotheque(); }
void __throw_out_of_range(const char*) { throw ErreurBibliotheque(); }
void __throw_out_of_range_fmt(const char*, ...) { throw ErreurBibliotheque(); }
void __throw_runtime_error(const char*) { throw ErreurBibliotheque(); }
void __throw_range_error(const char*) { throw ErreurBibliotheque(); }
void __throw_overflow_error(const char*) { throw ErreurBibliotheque(); }
void __throw_underflow_error(const char*) { throw ErreurBibliotheque(); }
void __throw_system_error(int) { throw ErreurBibliotheque(); }

}  // namespace std
