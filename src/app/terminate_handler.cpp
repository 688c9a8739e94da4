// What an exception that nothing caught ends with. The C++ library's own
// handler names the exception's type through its demangler, 45 KB in every
// setup and uninstaller; defining the handler here keeps that out of the
// link. It says what the library's says, less the type's name, and ends the
// process the same way.
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {  // NOLINT(readability-identifier-naming): the library names it

void __verbose_terminate_handler() {  // NOLINT(readability-identifier-naming)
  static bool entered = false;  // what() may throw and end up here again
  if (!entered) {
    entered = true;
    if (std::exception_ptr current = std::current_exception()) {
      std::fputs("terminate called after throwing an exception\n", stderr);
      try {
        std::rethrow_exception(current);
      } catch (const std::exception& e) {
        std::fputs("  what():  ", stderr);
        std::fputs(e.what(), stderr);
        std::fputs("\n", stderr);
      } catch (...) {
      }
    } else {
      std::fputs("terminate called without an active exception\n", stderr);
    }
  }
  std::abort();
}

}  // namespace __gnu_cxx
