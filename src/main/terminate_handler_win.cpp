// The stub's handler for an exception that nothing catches, linked into each stub executable in
// place of libstdc++'s verbose one. That one names the exception on the standard error stream,
// which a GUI program does not have, and brings the C++ name demangler into the program
// (about 48 KiB of a download every user makes). The run catches every exception it expects;
// any other still ends the process at once, as before.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler();
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
