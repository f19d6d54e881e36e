// The executable's terminate handler. libstdc++'s default one prints the
// demangled type of the exception in flight to stderr, which a GUI program
// does not have, and brings the whole demangler (about 45 KB) into the link.
// Defining the handler here keeps libstdc++'s out of the link altogether
// (the linker takes a library member only for a symbol still undefined), so
// std::terminate and std::set_terminate(nullptr) reach this one. It ends the
// process the way the default one does after its message: abort().
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
