// SPDX-License-Identifier: MIT
// Two symbols the compiler's own C++ and unwinding libraries take from glibc, given here for
// the stub's musl build.

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
