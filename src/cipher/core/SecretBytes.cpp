// SPDX-License-Identifier: MIT
#include "cipher/core/SecretBytes.h"

#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

void SecureWipe(void* data, std::size_t size) {
    std::memset(data, 0xFF, size);
    // The barrier tells the compiler the bytes are read afterwards, so the stores stay.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

namespace secret_bytes_detail {

namespace {

std::size_t PageRounded(std::size_t size) {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
#else
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
#endif
    return (size + page - 1) / page * page;
}

} // namespace

uint8_t* AllocateLocked(std::size_t size) {
    const std::size_t whole = PageRounded(size);
#ifdef _WIN32
    void* p = VirtualAlloc(nullptr, whole, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (p == nullptr)
        throw std::bad_alloc();
    // Fails beyond the process's small working-set minimum; the bytes are wiped all the same.
    (void)VirtualLock(p, whole);
#else
    void* p = ::mmap(nullptr, whole, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    (void)::madvise(p, whole, MADV_DONTDUMP);
    // EPERM or ENOMEM past RLIMIT_MEMLOCK: an ordinary user's limit is small, and a key that
    // cannot be locked is still better used than refused.
    (void)::mlock(p, whole);
#endif
    return static_cast<uint8_t*>(p);
}

void ReleaseLocked(uint8_t* data, std::size_t size) noexcept {
    const std::size_t whole = PageRounded(size);
#ifdef _WIN32
    SecureZeroMemory(data, whole);
    (void)VirtualUnlock(data, whole);
    (void)VirtualFree(data, 0, MEM_RELEASE);
#else
    ::explicit_bzero(data, whole);
    (void)::munlock(data, whole);
    (void)::munmap(data, whole);
#endif
}

} // namespace secret_bytes_detail
