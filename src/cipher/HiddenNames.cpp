// SPDX-License-Identifier: MIT
#include "cipher/HiddenNames.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <pthread.h>
#include <unistd.h>

namespace {

// A temporary file with a name (where the file system has no O_TMPFILE, and for the moment
// between linking and renaming) would outlive a run stopped by Ctrl-C, a terminal that closes
// or a plain kill. The handler removes every such name with async-signal-safe calls only, puts
// back whatever handled the signal before, and raises it again. SIGKILL cannot be caught: the
// unnamed O_TMPFILE file is what covers it, since the kernel frees that one by itself.

constexpr int HiddenSlots = 8;
constexpr std::size_t HiddenMax = 4096;
constexpr std::array<int, 3> CleanupSignals{SIGINT, SIGTERM, SIGHUP};

char gHidden[HiddenSlots][HiddenMax];
volatile sig_atomic_t gHiddenUsed[HiddenSlots];
struct sigaction gPrevious[CleanupSignals.size()];
bool gInstalled[CleanupSignals.size()];
std::mutex gHiddenLock;

extern "C" void RemoveHiddenOnSignal(int sig) {
    const int savedErrno = errno;
    for (int i = 0; i < HiddenSlots; ++i)
        if (gHiddenUsed[i])
            ::unlink(gHidden[i]);
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
    if (name.size() >= HiddenMax)
        return;
    std::lock_guard lock(gHiddenLock);
    InstallCleanupLocked();
    for (int i = 0; i < HiddenSlots; ++i) {
        if (gHiddenUsed[i])
            continue;
        std::memcpy(gHidden[i], name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        gHiddenUsed[i] = 1;
        return;
    }
}

void UnregisterHidden(const std::string& name) {
    std::lock_guard lock(gHiddenLock);
    bool any = false;
    for (int i = 0; i < HiddenSlots; ++i) {
        if (gHiddenUsed[i] && name == gHidden[i]) {
            gHiddenUsed[i] = 0;
            std::atomic_signal_fence(std::memory_order_seq_cst);
        }
        any = any || gHiddenUsed[i];
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
