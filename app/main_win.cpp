// Tallowin's entry point; the command line and show command are not used.
#include "app/app_win.h"

#include <cstdlib>
#include <new>
#include <string>

// What std::terminate does: end at once. A window program has nowhere to print the library's
// verbose report, and replacing its handler keeps the name demangler (some 40 KB) out of the file.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The library's throw helpers, for the same reason: the program catches nothing, so a failed
// allocation or a length error ends it either way, and without these the exception classes and a
// second string implementation (some 50 KB) come along with them.
namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std

// Allocation as the library's own, malloc underneath, ending the program where it would throw: the
// library's operators throw, and with them would come the whole of exception handling and a
// thread library (some 60 KB). The one that may fail quietly serves a stable sort's buffer.
void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) std::abort();
    return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }

// The string members the program uses, made here and kept by the linker as needed, rather than
// taken whole (some 30 KB) from the library.
template class std::__cxx11::basic_string<char>;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunTallowin(instance); }
