// SPDX-License-Identifier: MIT
// The Windows self-extracting module. Calyxor makes a self-extracting file for a Windows
// recipient by copying this program's file and appending a file it encrypted. Double-clicked
// in Explorer it shows a small key dialog and restores the file beside itself; started from a
// console or a script it behaves like the Linux module: key prompt without echo (or the first
// line of standard input), -o, -f, --help and the same exit statuses.

#include "lang/Language.h"
#include "sfxwin/WinSfx.h"
#include "stub/StubUsage.h"

#include <string>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// A console shows UTF-16 as it is; a pipe or file gets UTF-8.
void Put(DWORD which, const std::string& text) {
    const HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(h, &mode)) {
        const std::wstring w = Wide(text);
        WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &done, nullptr);
    } else {
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    }
}

// Wine gives a program started from a Unix terminal a console of its own, as Explorer does on
// Windows; there the terminal is somebody to talk to.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The console face is used when there is somebody to talk to: a console shared with the shell
// that started the module, or standard input from a pipe or a file. Explorer gives a
// double-clicked console program a console of its own, which holds this process alone; a file
// dropped on the module's icon arrives as an argument then and is not a command line.
bool StartedFromConsole(int argc) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in != nullptr && in != INVALID_HANDLE_VALUE) {
        DWORD mode = 0;
        if (GetConsoleMode(in, &mode)) {
            DWORD processes[2];
            return GetConsoleProcessList(processes, 2) > 1 || UnderWine();
        }
        const DWORD type = GetFileType(in);
        if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK)
            return true;
    }
    // No console and nothing on standard input: a command line still means a program started
    // it (help, or -o with the key refused for want of input), and its messages go to
    // whatever standard error leads to.
    return argc > 1;
}

using TOptions = TStubOptions<wchar_t>;

TOptions ParseOptions(int argc, wchar_t** argv) {
    return ParseStubOptions(
        argc, argv, [](std::wstring_view arg) { return Utf8(arg); }, true);
}

void PrintHelp(const std::wstring& self) {
    std::string restored;
    try {
        restored = Quoted(RestoredName(self));
    } catch (const TSfxError&) {
        restored = Translated("Sfx", "its own name without \".exe\"");
    }
    const std::string program = Utf8(BaseName(self));
    TStubUsage own;
    own.KeyInput = Translated(
        "Sfx",
        "Started from Explorer it asks for the key in a small window and restores the file\n"
        "beside itself. Started from a console it asks for the key there, without showing it.\n"
        "When standard input is redirected, its first line is the key (UTF-8), for scripts:\n"
        "    type key.txt | %1\n");
    own.OutputOption = Translated(
        "Sfx",
        "  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a\n"
        "               folder)\n");
    own.WrongKey = Translated(
        "Sfx",
        "The file holds no key check, so the module decrypts its first bytes before writing:\n"
        "when they look like random noise rather than a file, nothing is written and a key\n"
        "typed in the console or the window is asked for again (three tries). Files under 64\n"
        "bytes, and content that is itself random, cannot be judged; if the restored file does\n"
        "not open, run it again with the right key and -f.\n");
    const std::string text = StubUsageText(own, program, restored);
    Put(STD_OUTPUT_HANDLE, text);
}

std::wstring OutputPath(const TOptions& opt, const std::wstring& self) {
    if (!opt.HasOutput)
        return RestoredName(self);
    const wchar_t last = opt.Output.back();
    if (last == L'\\' || last == L'/')
        return opt.Output + RestoredName(self);
    if (IsFolder(opt.Output))
        return opt.Output + L"\\" + RestoredName(self);
    return opt.Output;
}

// ---- the key ----------------------------------------------------------------------------------

// Text that held a key is overwritten before its memory is given back.
template <class Char> struct TWipedText {
    std::basic_string<Char> Text;
    TWipedText() { Text.reserve(MaxKeyLine + 1); } // no reallocation leaves a stray copy
    ~TWipedText() {
        Text.resize(Text.capacity());
        SecureWipe(Text.data(), Text.size() * sizeof(Char));
    }
    TWipedText(const TWipedText&) = delete;
    TWipedText& operator=(const TWipedText&) = delete;
};

// One line of a pipe or file, a byte at a time so that nothing after it is consumed.
void ReadRedirectedLine(HANDLE in, std::string& line) {
    for (;;) {
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(in, &c, 1, &got, nullptr)) {
            const DWORD err = GetLastError();
            if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF)
                break;
            throw TSfxError(Format(Translated("Sfx", "cannot read the key: %1"), {ErrorText(err)}));
        }
        if (got == 0 || c == '\n')
            break;
        if (line.size() >= MaxKeyLine)
            KeyLineTooLong();
        line.push_back(c);
    }
}

// Puts the console's input mode back however the prompt ends.
class TEchoOff {
public:
    explicit TEchoOff(HANDLE in) : In(in) {
        if (GetConsoleMode(In, &Saved))
            Changed = SetConsoleMode(In, (Saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                             ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    ~TEchoOff() {
        if (Changed)
            SetConsoleMode(In, Saved);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    HANDLE In;
    DWORD Saved = 0;
    bool Changed = false;
};

void ReadConsoleLine(HANDLE in, std::wstring& line) {
    TEchoOff echoOff(in);
    Put(STD_ERROR_HANDLE, Translated("Sfx", "Key: "));
    wchar_t buf[64];
    for (;;) {
        DWORD got = 0;
        if (!ReadConsoleW(in, buf, 64, &got, nullptr))
            throw TSfxError(
                Format(Translated("Sfx", "cannot read the key: %1"), {ErrorText(GetLastError())}));
        if (gCancelled)
            throw TSfxError(Translated("Sfx", "interrupted; nothing was written."));
        if (got == 0)
            break;
        const std::wstring_view part(buf, got);
        const auto end = part.find(L'\n');
        if (line.size() + part.size() > MaxKeyLine)
            KeyLineTooLong();
        line.append(part.substr(0, end));
        if (end != std::wstring_view::npos)
            break;
    }
    SecureWipe(buf, sizeof buf);
    // The user's Enter was not echoed.
    Put(STD_ERROR_HANDLE, "\n");
}

bool KeyIsTyped() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return in != nullptr && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode);
}

TSecretBytes ReadKey() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (KeyIsTyped()) {
        TWipedText<wchar_t> typed;
        ReadConsoleLine(in, typed.Text);
        if (!typed.Text.empty() && typed.Text.back() == L'\r')
            typed.Text.pop_back();
        return KeyBytes(std::wstring_view(typed.Text));
    }
    TWipedText<char> text;
    if (in != nullptr && in != INVALID_HANDLE_VALUE) {
        ReadRedirectedLine(in, text.Text);
        if (!text.Text.empty() && text.Text.back() == '\r')
            text.Text.pop_back();
        // Notepad starts a UTF-8 file with a byte order mark; it is not part of the key.
        if (text.Text.rfind("\xEF\xBB\xBF", 0) == 0)
            text.Text.erase(0, 3);
    }
    return KeyBytes(std::string_view(text.Text));
}

// A key typed in the console whose result looks like a wrong key's is most likely mistyped, and
// is asked for again. A key from a pipe or a file cannot be: the run ends before anything is
// written.
TSecretBytes ReadJudgedKey(const TSelfFile& self, const std::wstring& output, bool check,
                           const std::string& program) {
    const bool typed = KeyIsTyped();
    for (int attempt = 1;; ++attempt) {
        TSecretBytes key = ReadKey();
        if (!check || JudgeKey(self, key, output) != TKeyVerdict::LooksWrong)
            return key;
        if (!typed || attempt >= KeyTries)
            throw TSfxError(KeyLooksWrong());
        Put(STD_ERROR_HANDLE, program + ": " + KeyLooksWrongRetype() + "\n");
    }
}

// Ctrl-C and Ctrl-Break stop the run between blocks, where it cleans up after itself. A console
// being closed ends the process as soon as this returns, so the unfinished file is marked for
// deletion here; it goes when the process's handle to it is closed.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    InterlockedExchange(&gCancelled, 1);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    if (gTempPath[0] != L'\0')
        DeleteFileW(gTempPath);
    return FALSE;
}

int RunConsole(int argc, wchar_t** argv, const std::string& program) {
    const TOptions opt = ParseOptions(argc, argv);
    if (opt.Help) {
        PrintHelp(OwnPath());
        return ExitOk;
    }
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    TSelfFile self;
    const std::wstring output = OutputPath(opt, self.Path);
    CheckOutput(output, opt.Force, self);
    const TSecretBytes key = ReadJudgedKey(self, output, opt.KeyCheck, program);
    // Made only once the key is taken, so that a refused key leaves nothing behind.
    TOutputFile out(output, opt.Force, self);
    Restore(self, key, out);
    Put(STD_ERROR_HANDLE, Format(Translated("Sfx", "Restored %1 (%2 bytes)."),
                                 {Utf8(output), std::to_string(self.PayloadSize())}) +
                              "\n");
    return ExitOk;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    UseTextLanguage(SystemLanguageIsRussian());
    if (!StartedFromConsole(argc)) {
        // The console Explorer made for this process would only stand empty behind the dialog.
        FreeConsole();
        return RunDialog();
    }
    const std::string program = argc > 0 ? Utf8(BaseName(argv[0])) : "calyxor-sfx";
    try {
        return RunConsole(argc, argv, program);
    } catch (const TUsageError& e) {
        Put(STD_ERROR_HANDLE, program + ": " + e.what() + "\n" +
                                  Format(Translated("Sfx", "Try '%1 --help'."), {program}) + "\n");
        return ExitUsage;
    } catch (const std::exception& e) {
        Put(STD_ERROR_HANDLE, program + ": " + e.what() + "\n");
        return ExitFailure;
    }
}
