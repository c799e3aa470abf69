// SPDX-License-Identifier: MIT
// Linked into both self-extracting modules in place of the C++ runtime's default handler for
// an exception that nobody catches. The runtime's own prints the exception's type through a
// demangler, the largest single piece either module would link (some 45 KB of a module that
// goes into every self-extracting file). The modules catch every exception where they start,
// so only a fault in the program itself gets here, and ending at once, as the default handler
// does after printing, loses nothing the user could use.

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
