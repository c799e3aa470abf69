// SPDX-License-Identifier: MIT
#include "cipher/HiddenNames.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include <pthread.h>
#include <unistd.h>

namespace {

// A temporary file with a name (where the file system has no O_TMPFILE, and for the moment
// between linking and renaming) would outlive a run stopped by Ctrl-C, a terminal that closes
// or a plain kill. The handler removes every such name with async-signal-safe calls only, puts
// back whatever handled the signal before, and raises it again. SIGKILL cannot be caught: the
// unnamed O_TMPFILE file is what covers it, since the kernel frees that one by itself.
//
// Every job of calyxor-cli -j N holds one or two names at once, so the registry has no fixed
// number of places: it is a list that only grows. A slot is never freed, only marked unused
// and taken again, so that the handler, which may run on any thread at any moment, never reads
// memory that is being released.

constexpr std::array<int, 3> CleanupSignals{SIGINT, SIGTERM, SIGHUP};

struct TSlot {
    std::unique_ptr<char[]> Name;
    std::size_t Capacity = 0;
    volatile sig_atomic_t Used = 0;
    TSlot* Next = nullptr;
};

std::atomic<TSlot*> gSlots{nullptr};
static_assert(std::atomic<TSlot*>::is_always_lock_free);
struct sigaction gPrevious[CleanupSignals.size()];
bool gInstalled[CleanupSignals.size()];
std::mutex gHiddenLock;

extern "C" void RemoveHiddenOnSignal(int sig) {
    const int savedErrno = errno;
    for (TSlot* s = gSlots.load(std::memory_order_acquire); s != nullptr; s = s->Next)
        if (s->Used)
            ::unlink(s->Name.get());
    for (std::size_t k = 0; k < CleanupSignals.size(); ++k)
        if (CleanupSignals[k] == sig && gInstalled[k])
            ::sigaction(sig, &gPrevious[k], nullptr);
    // Blocked while this handler runs: it is delivered, to the previous action, on return.
    ::raise(sig);
    errno = savedErrno;
}

void InstallCleanupLocked() {
    for (std::size_t k = 0; k < CleanupSignals.size(); ++k) {
        if (gInstalled[k])
            continue;
        struct sigaction old {};
        if (::sigaction(CleanupSignals[k], nullptr, &old) != 0)
            continue;
        // A signal the program was started to ignore (nohup) stays ignored.
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction sa {};
        sa.sa_handler = RemoveHiddenOnSignal;
        sigemptyset(&sa.sa_mask);
        for (int s : CleanupSignals)
            sigaddset(&sa.sa_mask, s);
        gPrevious[k] = old;
        gInstalled[k] = true;
        ::sigaction(CleanupSignals[k], &sa, nullptr);
    }
}

} // namespace

void RegisterHidden(const std::string& name) {
    std::lock_guard lock(gHiddenLock);
    InstallCleanupLocked();
    TSlot* free = nullptr;
    for (TSlot* s = gSlots.load(std::memory_order_relaxed); s != nullptr && !free; s = s->Next)
        if (!s->Used && s->Capacity > name.size())
            free = s;
    if (!free) {
        // Published whole, name and all, before the handler can find it.
        auto* slot = new TSlot;
        slot->Capacity = std::max<std::size_t>(name.size() + 1, 256);
        slot->Name = std::make_unique<char[]>(slot->Capacity);
        std::memcpy(slot->Name.get(), name.c_str(), name.size() + 1);
        slot->Used = 1;
        slot->Next = gSlots.load(std::memory_order_relaxed);
        gSlots.store(slot, std::memory_order_release);
        return;
    }
    std::memcpy(free->Name.get(), name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::atomic_thread_fence(std::memory_order_release);
    free->Used = 1;
}

void UnregisterHidden(const std::string& name) {
    std::lock_guard lock(gHiddenLock);
    bool any = false;
    bool removed = false;
    for (TSlot* s = gSlots.load(std::memory_order_relaxed); s != nullptr; s = s->Next) {
        if (!removed && s->Used && name == s->Name.get()) {
            s->Used = 0;
            std::atomic_signal_fence(std::memory_order_seq_cst);
            removed = true;
        }
        any = any || s->Used;
    }
    if (any)
        return;
    for (std::size_t k = 0; k < CleanupSignals.size(); ++k) {
        if (gInstalled[k])
            ::sigaction(CleanupSignals[k], &gPrevious[k], nullptr);
        gInstalled[k] = false;
    }
}

TSignalsHeld::TSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : CleanupSignals)
        sigaddset(&set, s);
    ::pthread_sigmask(SIG_BLOCK, &set, &Old);
}

TSignalsHeld::~TSignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &Old, nullptr);
}
