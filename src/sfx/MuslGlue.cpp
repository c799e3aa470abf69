// Two symbols the compiler's own C++ and unwinding libraries take from glibc, given here for
// the stub's musl build, and the C++ runtime's last-resort handler.

#include <cstdlib>
#include <exception>

// An exception that nobody catches ends the program through this handler. The runtime's own
// prints the exception's type through a demangler, the largest single piece the stub would
// link (some 40 KB of a module that goes into every self-extracting file). The stub catches
// every exception in main, so only a fault in the program itself gets here, and ending at
// once, as the default handler does after printing, loses nothing the user could use.
namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = std::abort;
}

extern "C" {

// glibc sets this while a process has one thread, so that reference counts may skip their
// atomic instructions. Zero always takes the atomic path, which is right with any number.
char __libc_single_threaded = 0;

struct dl_find_object;

// The unwinder asks glibc which loaded object holds a code address, to find its unwinding
// table. A static program has one object, whose tables the start file registers with the
// unwinder, which searches those first; so no other object holds any address.
int _dl_find_object(void*, dl_find_object*) {
    return -1;
}
}
