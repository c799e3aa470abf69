// SPDX-License-Identifier: MIT
// The fault guard around reading a mapped source: a source cut short under the reader becomes a
// failed step, and every other SIGBUS is left to whoever handled it before. Each case runs in a
// child process, since the ones that must not be swallowed end the process.

#include "cipher/MappedSource.h"
#include "cipher/CoreDumps.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int ForeignHandlerExit = 42;
constexpr int GuardReturnedFalse = 3;
constexpr int GuardReturnedTrue = 4;

// A mapping of a file that has since been emptied: reading it faults, and it is not the source.
const volatile uint8_t* gForeign = nullptr;

void ReadForeignMapping(TTransformState&, const uint8_t*, uint8_t* out, std::size_t) {
    out[0] = gForeign[0];
}

void ReadSource(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n) {
    EncryptBuffer(state, in, out, n);
}

extern "C" void ForeignHandler(int, siginfo_t*, void*) {
    ::_exit(ForeignHandlerExit);
}

enum class TFault { Source, Foreign };
enum class TPrevious { Default, Ignored, OwnHandler };

struct TCase {
    const char* Name;
    TFault Fault;
    TPrevious Previous;
    int ExitCode; // -1: ended by SIGBUS
};

const uint8_t* MapThenEmpty(const std::string& path, std::size_t size) {
    WriteAll(path, RandomBytes(size, 3));
    const int fd = ::open(path.c_str(), O_RDONLY);
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED || ::truncate(path.c_str(), 0) != 0)
        ::_exit(100);
    return static_cast<const uint8_t*>(p);
}

// In the child: the previous handler as the case says, then one guarded step that faults.
[[noreturn]] void RunCase(const TCase& c, const TTempDir& dir) {
    ForbidCoreDumps(); // the cases that end by SIGBUS leave no core file behind
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    if (c.Previous == TPrevious::OwnHandler) {
        sa.sa_sigaction = ForeignHandler;
        sa.sa_flags = SA_SIGINFO;
    } else {
        sa.sa_handler = c.Previous == TPrevious::Ignored ? SIG_IGN : SIG_DFL;
    }
    ::sigaction(SIGBUS, &sa, nullptr);
    const std::size_t size = 4 * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    WriteAll(dir / "source", RandomBytes(size, 1));
    TMappedSource src(dir / "source");
    if (c.Fault == TFault::Source) {
        if (::truncate((dir / "source").c_str(), 0) != 0)
            ::_exit(101);
    } else {
        gForeign = MapThenEmpty(dir / "foreign", size);
    }
    TTransformState state;
    TransformInit(state, std::vector<uint8_t>{'k'});
    std::vector<uint8_t> out(size);
    const bool ok =
        GuardedTransform(src, c.Fault == TFault::Source ? ReadSource : ReadForeignMapping, state, 0,
                         out.data(), size);
    ::_exit(ok ? GuardReturnedTrue : GuardReturnedFalse);
}

TEST(MappedSourceTest, onlyFaultsInsideTheSourceAreTakenAsItsOwn) {
    const TCase cases[] = {
        {"source cut short", TFault::Source, TPrevious::Default, GuardReturnedFalse},
        {"source cut short, another handler before", TFault::Source, TPrevious::OwnHandler,
         GuardReturnedFalse},
        {"another mapping, default action before", TFault::Foreign, TPrevious::Default, -1},
        {"another mapping, SIGBUS ignored before", TFault::Foreign, TPrevious::Ignored, -1},
        {"another mapping, a handler before", TFault::Foreign, TPrevious::OwnHandler,
         ForeignHandlerExit},
    };
    for (const TCase& c : cases) {
        TTempDir dir;
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            RunCase(c, dir);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (c.ExitCode < 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS)
                << c.Name << ": status " << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.ExitCode)
                << c.Name << ": status " << status;
        }
    }
}

// The writer thread reads the source ahead of the transform. A source cut short under it must
// stop that reading, not the program: the pages still there read, the ones past the new end
// give false, on a thread other than the one that mapped the file.
TEST(MappedSourceTest, readingAheadOnAnotherThread_survivesASourceCutShort) {
    TTempDir dir;
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ForbidCoreDumps();
        const int64_t page = ::sysconf(_SC_PAGESIZE);
        WriteAll(dir / "source", RandomBytes(static_cast<std::size_t>(4 * page), 2));
        TMappedSource src(dir / "source");
        if (::truncate((dir / "source").c_str(), page) != 0)
            ::_exit(101);
        int code = 0;
        std::thread reader([&] {
            const bool kept = GuardedTouch(src.Data, src.Size, 0, page);
            const bool cut = GuardedTouch(src.Data, src.Size, 0, 4 * page);
            code = kept && !cut ? 0 : !kept ? 1 : 2;
        });
        reader.join();
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the pages left did not read, 2: the cut went unseen";
}

} // namespace
