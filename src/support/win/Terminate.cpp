// The runtime's default terminate handler names the pending exception's type on stderr, which
// a windowed program does not have, and for that links the whole C++ demangler and a printf:
// about 70 KB, a fifth of the program. Nothing should ever reach it, since the entry point and
// every window procedure catch all exceptions; if something does, the process ends the same
// way, only without the message nobody could read.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
