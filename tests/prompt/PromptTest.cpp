// SPDX-License-Identifier: MIT
// The key prompt as a user meets it: on a real pseudo-terminal, typed at, interrupted, stopped
// with Ctrl-Z and fed a line that is too long; and a line read from what is not a terminal.

#include "prompt/KeyPrompt.h"
#include "support/Pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const std::string Key = "ключ-Key 42";

std::string_view Text(const TSecretBytes& line) {
    return {reinterpret_cast<const char*>(line.data()), line.size()};
}

// An unlinked file holding bytes, read from its start: a pipe could not hold a line longer
// than the bound without a writer beside it.
int FileWith(const std::string& bytes) {
    FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    const int fd = ::dup(fileno(f));
    std::fclose(f);
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string Rest(int fd) {
    std::string rest;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        rest.append(buf, static_cast<std::size_t>(n));
    return rest;
}

// What a child at the prompt reports through its exit status.
enum : int { Typed = 0, Mistyped = 1, TooLong = 3, ReadFailed = 4 };

int AskAndCheck(const std::string& expected) {
    try {
        const TSecretBytes line = AskKeyLine("Key: ");
        return Text(line) == expected ? Typed : Mistyped;
    } catch (const EKeyLine& e) {
        return e.Reason == EKeyLine::TReason::TooLong ? TooLong : ReadFailed;
    }
}

// The prompt's child on a terminal of its own. Ctrl-\ must not leave a core file behind.
class TOnPty : public TPtySession {
public:
    explicit TOnPty(const std::function<int()>& body)
        : TPtySession([body] {
              const rlimit none{0, 0};
              ::setrlimit(RLIMIT_CORE, &none);
              return body();
          }) {}
};

::testing::AssertionResult ExitedWith(int status, int code) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == code)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "wait status " << status << ", expected an exit with " << code;
}

// ---- a line from what is not a terminal ------------------------------------------------------

TEST(KeyLineTest, endsAtTheLineEnd_takesNothingAfterIt_andRefusesALineOverTheBound) {
    const std::string longest(MaxKeyLine, 'k');
    struct TCase {
        const char* Name;
        std::string Input;
        std::string Line;
        std::string Rest;
        bool Refused = false;
    } const cases[] = {
        {"LF", Key + "\nnext line\n", Key, "next line\n"},
        {"CR LF", Key + "\r\nnext", Key, "next"},
        {"a CR inside stays", "a\rb\n", "a\rb", ""},
        {"no line end", Key, Key, ""},
        {"empty line", "\nafter", "", "after"},
        {"nothing at all", "", "", ""},
        {"at the bound", longest + "\n", longest, ""},
        {"CR LF, the CR within the bound", longest.substr(1) + "\r\n", longest.substr(1), ""},
        {"over the bound", longest + "k\n", "", "\n", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const int fd = FileWith(c.Input);
        try {
            const TSecretBytes line = ReadKeyLine(fd);
            EXPECT_FALSE(c.Refused);
            EXPECT_EQ(Text(line), c.Line);
        } catch (const EKeyLine& e) {
            EXPECT_TRUE(c.Refused) << e.what();
            EXPECT_EQ(e.Reason, EKeyLine::TReason::TooLong);
        }
        EXPECT_EQ(Rest(fd), c.Rest);
        ::close(fd);
    }
}

TEST(KeyLineTest, aReadErrorIsReportedWithItsCause) {
    const int dir = ::open("/", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    try {
        (void)ReadKeyLine(dir);
        ADD_FAILURE() << "a folder was read as a key";
    } catch (const EKeyLine& e) {
        EXPECT_EQ(e.Reason, EKeyLine::TReason::ReadFailed);
        EXPECT_EQ(e.ErrorCode, EISDIR);
    }
    ::close(dir);
}

// Standard input redirected while the terminal is still there for the messages: the line is
// taken as it comes, with no prompt on the terminal and nothing after the line consumed.
TEST(KeyPromptTest, aRedirectedInputIsReadWithoutAPrompt) {
    TOnPty child([] {
        const int file = FileWith(Key + "\r\nrest");
        ::dup2(file, STDIN_FILENO);
        ::close(file);
        const int answer = AskAndCheck(Key);
        return answer != Typed ? answer : Rest(STDIN_FILENO) == "rest" ? Typed : Mistyped;
    });
    ASSERT_GT(child.Pid, 0);
    EXPECT_TRUE(ExitedWith(child.Wait(), Typed));
    EXPECT_EQ(child.Screen, "");
    EXPECT_TRUE(child.Echoes());
}

// ---- a line typed at a terminal --------------------------------------------------------------

TEST(KeyPromptTest, onATerminal_echoIsOffWhileTyping_andOnAgainAfterwards) {
    TOnPty child([] { return AskAndCheck(Key); });
    ASSERT_GT(child.Pid, 0);
    ASSERT_TRUE(child.Shows("Key: ")) << child.Screen;
    EXPECT_FALSE(child.Echoes());
    child.Type(Key + "\r");
    EXPECT_TRUE(ExitedWith(child.Wait(), Typed)) << child.Screen;
    // The Enter was not echoed, so the prompt writes the line end itself.
    EXPECT_EQ(child.Screen, "Key: \r\n");
    EXPECT_TRUE(child.Echoes());
}

// A line longer than the bound cannot be typed in the terminal's line mode, but it can be
// pasted into a terminal a program left in character mode.
TEST(KeyPromptTest, aLineOverTheBound_isRefused_andEchoComesBack) {
    TOnPty child([] {
        termios t{};
        ::tcgetattr(STDIN_FILENO, &t);
        t.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &t);
        return AskAndCheck(Key);
    });
    ASSERT_GT(child.Pid, 0);
    ASSERT_TRUE(child.Shows("Key: ")) << child.Screen;
    child.Type(std::string(MaxKeyLine + 1, 'k'));
    EXPECT_TRUE(ExitedWith(child.Wait(), TooLong));
    EXPECT_TRUE(child.Echoes());
}

// Every way the user or the system ends the program at the prompt leaves the terminal with
// echo, and the signal still does what it did before the prompt: ends the program, runs the
// handler the program had (the output's temporary-file cleanup is one), or stays ignored.
TEST(KeyPromptTest, aSignalAtThePrompt_leavesEchoOn_andTakesItsCourse) {
    enum class TBefore { Default, Handler, Ignored };
    struct TCase {
        const char* Name;
        int Signal;
        const char* Typed; // typed at the terminal to send it, else sent by kill
        TBefore Before;
    } const cases[] = {
        {"Ctrl-C", SIGINT, "\x03", TBefore::Default},
        {"Ctrl-\\", SIGQUIT, "\x1c", TBefore::Default},
        {"kill", SIGTERM, nullptr, TBefore::Default},
        {"closed terminal", SIGHUP, nullptr, TBefore::Default},
        {"kill, with a handler of the program's", SIGTERM, nullptr, TBefore::Handler},
        {"Ctrl-C, with a handler of the program's", SIGINT, "\x03", TBefore::Handler},
        {"hang-up under nohup", SIGHUP, nullptr, TBefore::Ignored},
    };
    constexpr int HandlerRan = 42;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TOnPty child([&c] {
            if (c.Before == TBefore::Handler)
                ::signal(c.Signal, [](int) { ::_exit(HandlerRan); });
            if (c.Before == TBefore::Ignored)
                ::signal(c.Signal, SIG_IGN);
            return AskAndCheck(Key);
        });
        ASSERT_GT(child.Pid, 0);
        ASSERT_TRUE(child.Shows("Key: ")) << child.Screen;
        ASSERT_FALSE(child.Echoes());
        if (c.Typed)
            child.Type(c.Typed);
        else
            ::kill(child.Pid, c.Signal);
        if (c.Before == TBefore::Ignored) {
            // Still asking: the key typed now is the one taken.
            ::usleep(100 * 1000);
            EXPECT_FALSE(child.Echoes());
            child.Type(Key + "\r");
        }
        const int status = child.Wait();
        switch (c.Before) {
        case TBefore::Default:
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.Signal) << status;
            break;
        case TBefore::Handler:
            EXPECT_TRUE(ExitedWith(status, HandlerRan));
            break;
        case TBefore::Ignored:
            EXPECT_TRUE(ExitedWith(status, Typed));
            break;
        }
        EXPECT_TRUE(child.Echoes());
    }
}

// Ctrl-Z under a shell with job control: the shell gets its terminal back with echo, and once
// the job is brought back (the shell having put its own modes back, echo on, as bash does)
// echo goes off again before the prompt is shown anew, so the key is still not seen.
TEST(KeyPromptTest, ctrlZ_givesTheShellEcho_andFgHidesTheKeyAgain) {
    TOnPty shell([] {
        ::signal(SIGTTOU, SIG_IGN); // a shell moves the terminal between its jobs
        const pid_t job = ::fork();
        if (job == 0) {
            ::setpgid(0, 0);
            ::signal(SIGTTOU, SIG_DFL);
            while (::tcgetpgrp(STDIN_FILENO) != ::getpgrp())
                ::usleep(1000);
            ::_exit(AskAndCheck(Key));
        }
        ::setpgid(job, job);
        ::tcsetpgrp(STDIN_FILENO, job);
        int status = 0;
        if (::waitpid(job, &status, WUNTRACED) != job || !WIFSTOPPED(status))
            return 20;
        ::tcsetpgrp(STDIN_FILENO, ::getpgrp());
        termios t{};
        ::tcgetattr(STDIN_FILENO, &t);
        const std::string seen = (t.c_lflag & ECHO) ? "[stopped, echo on]\n" : "[stopped]\n";
        (void)!::write(STDOUT_FILENO, seen.data(), seen.size());
        t.c_lflag |= ECHO;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &t);
        ::tcsetpgrp(STDIN_FILENO, job); // fg
        ::kill(-job, SIGCONT);
        if (::waitpid(job, &status, 0) != job)
            return 21;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 22;
    });
    ASSERT_GT(shell.Pid, 0);
    ASSERT_TRUE(shell.Shows("Key: ")) << shell.Screen;
    shell.Type("\x1a");
    ASSERT_TRUE(shell.Shows("[stopped")) << shell.Screen;
    EXPECT_TRUE(shell.Shows("[stopped, echo on]")) << shell.Screen;
    const std::size_t stopped = shell.Screen.find("[stopped");
    ASSERT_TRUE(shell.ShowsAfter(stopped, "Key: ")) << shell.Screen;
    EXPECT_FALSE(shell.Echoes());
    shell.Type(Key + "\r");
    EXPECT_TRUE(ExitedWith(shell.Wait(), Typed)) << shell.Screen;
    EXPECT_EQ(shell.Screen.find(Key), std::string::npos) << shell.Screen;
    EXPECT_TRUE(shell.Echoes());
}

} // namespace
