// Tallowin's entry point; the command line and show command are not used.
#include "app/app_win.h"

#include <cstdlib>

// What std::terminate does: end at once. A window program has nowhere to print the library's
// verbose report, and replacing its handler keeps the name demangler (some 40 KB) out of the file.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunTallowin(instance); }
