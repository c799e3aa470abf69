// SPDX-License-Identifier: MIT
// The key as the running programs hold it: calyxor-cli, the Linux stub and the window, looked
// at from outside while they wait for the key (core limit, dumpable, locked pages), and the
// prompt stopped and brought back by a real shell's job control.

#include "support/Process.h"
#include "support/Pty.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string BuildDir = CALYXOR_BUILD_DIR;
const std::string Cli = BuildDir + "/calyxor-cli";
const std::string Module = BuildDir + "/SFX/default.sfx";
const std::string Key = "correct horse 7";
constexpr uid_t NobodyUser = 65534;
constexpr gid_t NobodyGroup = 65534;

// Every file of the run: a source, its encrypted and self-extracting copies, the key file.
struct TFiles {
    TTempDir Dir;
    std::vector<uint8_t> Data = DocumentBytes(30000, 21); // a wrong key's result is refused
    TFiles() {
        TRunOptions here;
        here.Cwd = Dir.Path;
        // Another user's program (below) works in here too.
        fs::permissions(Dir.Path, fs::perms::all);
        WriteAll(Dir / "key.txt", std::vector<uint8_t>(Key.begin(), Key.end()));
        WriteAll(Dir / "report.doc", Data);
        const auto made = RunProgram({Cli, "encrypt", "--key-file", "key.txt", "report.doc"}, here);
        const auto sfx = RunProgram(
            {Cli, "encrypt", "--key-file", "key.txt", "--sfx=" + Module, "report.doc"}, here);
        EXPECT_EQ(made.ExitCode, 0) << made.Err;
        EXPECT_EQ(sfx.ExitCode, 0) << sfx.Err;
        fs::remove(Dir / "report.doc");
    }
};

std::string ProcFile(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

long long CoreLimit(pid_t pid) {
    std::istringstream limits(ProcFile(pid, "limits"));
    for (std::string line; std::getline(limits, line);)
        if (line.rfind("Max core file size", 0) == 0) {
            const std::string soft = line.substr(26, line.find(' ', 26) - 26);
            return soft == "unlimited" ? LLONG_MAX : std::stoll(soft);
        }
    return -1;
}

long long LockedKiB(pid_t pid) {
    const std::string status = ProcFile(pid, "status");
    const auto at = status.find("VmLck:");
    return at == std::string::npos ? -1 : std::stoll(status.substr(at + 6));
}

// A mapping that is both locked and left out of core files: the key's pages.
bool HasLockedUndumpedPages(pid_t pid) {
    std::istringstream smaps(ProcFile(pid, "smaps"));
    for (std::string line; std::getline(smaps, line);)
        if (line.rfind("VmFlags:", 0) == 0 && line.find(" lo") != std::string::npos &&
            line.find(" dd") != std::string::npos)
            return true;
    return false;
}

// A process that is not dumpable has its /proc entries owned by root, which keeps every other
// process of its user out of its memory.
bool NotDumpable(pid_t pid) {
    struct stat st {};
    return ::stat(("/proc/" + std::to_string(pid) + "/status").c_str(), &st) == 0 && st.st_uid == 0;
}

// A program started with a raised core limit (as a user's shell may leave it) and, when the
// test runs as root, as another user, so that "owned by root" says something; its standard
// input is a pipe nobody writes to, so that a program reading its key waits there.
class TWaiting {
public:
    TWaiting(const std::vector<std::string>& argv, const std::string& cwd) {
        int in[2];
        if (::pipe(in) != 0)
            return;
        const std::vector<char*> args = ExecArgs(argv);
        const bool root = ::geteuid() == 0;
        Pid = ::fork();
        if (Pid == 0) {
            ::dup2(in[0], 0);
            ::close(in[0]);
            ::close(in[1]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            rlimit core{};
            ::getrlimit(RLIMIT_CORE, &core);
            const rlim_t most = root ? RLIM_INFINITY : core.rlim_max;
            const rlimit raised{most, most};
            ::setrlimit(RLIMIT_CORE, &raised);
            if (root && (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGroup) != 0 ||
                         ::setuid(NobodyUser) != 0))
                ::_exit(125);
            if (::chdir(cwd.c_str()) != 0)
                ::_exit(126);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]);
        Input = in[1];
    }
    ~TWaiting() {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
        if (Input >= 0)
            ::close(Input);
    }
    TWaiting(const TWaiting&) = delete;
    TWaiting& operator=(const TWaiting&) = delete;

    // Whether condition came true before the bound; the program is left running either way.
    [[nodiscard]] bool Until(const std::function<bool()>& condition) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            int status = 0;
            if (::waitpid(Pid, &status, WNOHANG) == Pid ||
                std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    pid_t Pid = -1;
    int Input = -1;
};

// The address sanitizer replaces mlock with a call that does nothing, so in its build only the
// self-extracting stub, which is always built without it, can show locked pages.
#ifdef __SANITIZE_ADDRESS__
constexpr bool ProgramsCanLock = false;
#else
constexpr bool ProgramsCanLock = true;
#endif

TEST(KeyGuardsTest, everyProgramHoldingAKey_neverDumpsIt_andLocksItsPages) {
    rlimit core{};
    ::getrlimit(RLIMIT_CORE, &core);
    const bool root = ::geteuid() == 0;
    if (!root && core.rlim_max == 0)
        GTEST_SKIP() << "core files are already off for every process here";
    TFiles files;
    ::chmod((files.Dir / "report.doc.exe").c_str(), 0755);
    // The window's command line holds its key while it waits to open its target, a FIFO no
    // one reads: without a display the window itself would end at once.
    const std::string fifo = files.Dir / "nobody-reads";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    ::chmod(fifo.c_str(), 0666);
    struct TCase {
        const char* Name;
        std::vector<std::string> Argv;
        bool ShowsLockedPages; // waits in its key's own locked buffer (the window: key in argv)
    } const cases[] = {
        {"calyxor-cli",
         {Cli, "decrypt", "--key-fd", "0", "-o", "restored.doc", "report.doc.ash"},
         ProgramsCanLock},
        {"the Linux stub", {files.Dir / "report.doc.exe", "-o", "/dev/null"}, true},
        {"the window",
         {BuildDir + "/calyxor", "DEC", Key, files.Dir / "report.doc.ash", fifo},
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TWaiting program(c.Argv, files.Dir.Path);
        ASSERT_GT(program.Pid, 0);
        const pid_t pid = program.Pid;
        // Every guard is in place before the key is read: waited for as a whole, then each
        // told apart for the message.
        (void)program.Until([&] {
            return CoreLimit(pid) == 0 && NotDumpable(pid) &&
                   (!c.ShowsLockedPages || LockedKiB(pid) > 0);
        });
        EXPECT_EQ(CoreLimit(pid), 0) << "core files were not turned off";
        EXPECT_TRUE(NotDumpable(pid)) << "the process stayed dumpable";
        if (c.ShowsLockedPages) {
            EXPECT_GT(LockedKiB(pid), 0) << "no page of the key is locked in memory";
            if (root) {
                EXPECT_TRUE(HasLockedUndumpedPages(pid)) << ProcFile(pid, "smaps");
            }
        }
    }
}

// ---- job control ---------------------------------------------------------------------------

// bash, interactive, on a pseudo-terminal of its own: what it shows, and what is typed at it.
class TShell : public TPtySession {
public:
    explicit TShell(const std::string& cwd)
        : TPtySession([cwd] {
              if (::chdir(cwd.c_str()) != 0)
                  return 126;
              ::execl("/usr/bin/env", "env", "-i", "PATH=/usr/bin:/bin", "TERM=dumb", "LC_ALL=C",
                      "PS1=$ ", "/bin/bash", "--norc", "--noprofile", "-i",
                      static_cast<char*>(nullptr));
              return 127;
          }) {}
    // The job the shell runs in the foreground: its only child.
    [[nodiscard]] pid_t Job() const {
        std::istringstream children(ProcFile(Pid, "task/" + std::to_string(Pid) + "/children"));
        pid_t job = -1;
        children >> job;
        return job;
    }
};

// Stopped at the prompt, by Ctrl-Z or by a stop it cannot catch, the program gives the shell
// its terminal; the shell turns echo on for itself, and `fg` continues the program, which must
// turn echo off again before the rest of the key is typed.
TEST(KeyGuardsTest, aPromptStoppedAndBroughtBackWithFg_stillHidesTheKey) {
    TFiles files;
    struct TProgram {
        const char* Name;
        std::string Command;
    } const programs[] = {
        {"calyxor-cli", Cli + " decrypt -o restored report.doc.ash"},
        {"the Linux stub", "./report.doc.exe -o restored"},
    };
    struct TStop {
        const char* Name;
        bool CtrlZ; // else SIGSTOP, sent from outside
    } const stops[] = {{"Ctrl-Z", true}, {"kill -STOP", false}};
    for (const TProgram& program : programs)
        for (const TStop& stop : stops) {
            SCOPED_TRACE(std::string(program.Name) + ", " + stop.Name);
            fs::remove(files.Dir / "restored");
            TShell shell(files.Dir.Path);
            ASSERT_GT(shell.Pid, 0);
            ASSERT_TRUE(shell.ShowsAfter(0, "$ ")) << shell.Screen;
            shell.Type(program.Command + "\r");
            ASSERT_TRUE(shell.ShowsAfter(0, "Key:")) << shell.Screen;
            const std::size_t asked = shell.Screen.find("Key:");
            if (stop.CtrlZ)
                shell.Type("\x1a");
            else
                ::kill(shell.Job(), SIGSTOP);
            ASSERT_TRUE(shell.ShowsAfter(asked, "Stopped")) << shell.Screen;
            const std::size_t stopped = shell.Screen.find("Stopped", asked);
            ASSERT_TRUE(shell.ShowsAfter(stopped, "$ ")) << shell.Screen;
            shell.Type("fg\r");
            // bash names the job it continues once it has put its own modes back (echo on).
            const std::string named = "fg\r\n" + program.Command + "\r\n";
            ASSERT_TRUE(shell.ShowsAfter(stopped, named)) << shell.Screen;
            const std::size_t continued = shell.Screen.find(named, stopped) + named.size();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (shell.Echoes() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            shell.Type(Key + "\r");
            ASSERT_TRUE(shell.ShowsAfter(continued, "\r\n$ ")) << shell.Screen;
            shell.Type("echo status=$?\r");
            EXPECT_TRUE(shell.ShowsAfter(continued, "status=0")) << shell.Screen;
            EXPECT_EQ(shell.Screen.find(Key), std::string::npos) << shell.Screen;
            EXPECT_EQ(ReadAll(files.Dir / "restored"), files.Data);
        }
}

} // namespace
