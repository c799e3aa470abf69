// SPDX-License-Identifier: MIT
#pragma once
// Put ahead of every source of the stub when it is built against musl. The C++ library's
// headers come from the compiler, which was configured for glibc, and use a few of glibc's own
// names that musl leaves out. They are given here only so that those headers compile: the
// stub calls nothing behind them (no streams, no locales, no timed waits), and anything that
// came to need glibc's side of them would fail to link instead of running wrongly.

#define __GLIBC_PREREQ(major, minor) 0

#include <bits/c++config.h>
// Timed waits on glibc's own clock-taking calls.
#undef _GLIBCXX_USE_PTHREAD_COND_CLOCKWAIT
#undef _GLIBCXX_USE_PTHREAD_MUTEX_CLOCKLOCK
#undef _GLIBCXX_USE_PTHREAD_RWLOCK_CLOCKLOCK

#include <locale.h>

typedef locale_t __locale_t;

// glibc's character class bits, which the streams' character classes are declared with.
enum {
    _ISupper = 1 << 8,
    _ISlower = 1 << 9,
    _ISalpha = 1 << 10,
    _ISdigit = 1 << 11,
    _ISxdigit = 1 << 12,
    _ISspace = 1 << 13,
    _ISprint = 1 << 14,
    _ISgraph = 1 << 15,
    _ISblank = 1 << 0,
    _IScntrl = 1 << 1,
    _ISpunct = 1 << 2,
    _ISalnum = 1 << 3,
};

// Kernel values newer than musl's headers; the kernel's own headers give the same numbers.
#include <sys/mman.h>
#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22
#endif

// The rename that refuses an existing name, which the safe output relies on to never replace
// a file without -f. musl's headers before 1.2.5 do not declare it; the kernel has had it
// since 3.15, and where it lacks it the call fails with ENOSYS as glibc's does.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
inline int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return static_cast<int>(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}
#endif
