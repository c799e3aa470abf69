// SPDX-License-Identifier: MIT
#include "cli/Console.h"

#include "lang/Texts.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The terminal is redrawn at most this often, however fast the files go: the engine reports
// every 10240 bytes, and a tree of small files ends hundreds of them a second.
constexpr int64_t RedrawEveryNs = 100'000'000;

// Back to the start of the status line and clear it. The status line is the last one and the
// cursor stays on it, so that no redraw ever has to move up into lines it did not write.
constexpr const char* EraseLine = "\r\033[K";

std::size_t TerminalWidth() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

bool IsLead(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Characters, not bytes: names are UTF-8.
std::size_t Columns(const std::string& s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), IsLead));
}

// The first width characters of s.
std::string Cut(const std::string& s, std::size_t width) {
    std::size_t at = 0;
    for (std::size_t kept = 0; at < s.size(); ++at) {
        if (IsLead(s[at]) && kept++ == width)
            break;
    }
    return s.substr(0, at);
}

// Keeps the end of a name, which tells files apart better than the folders before it.
std::string FitLeft(const std::string& s, std::size_t width) {
    if (Columns(s) <= width)
        return s;
    if (width <= 3)
        return Cut("...", width);
    std::size_t keep = width - 3;
    std::size_t at = s.size();
    while (at > 0 && keep > 0) {
        --at;
        if (IsLead(s[at]))
            --keep;
    }
    return "..." + s.substr(at);
}

std::string Shown(std::string text) {
    // The window puts a path on a line of its own with a lone CR; on a terminal that would
    // overwrite the message.
    for (std::size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at))
        text.replace(at, 1, ": ");
    return text;
}

std::string Megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
    return text;
}

} // namespace

TConsole::TConsole(bool progress, std::size_t files, int64_t bytes)
    : Progress(progress), Files(files), Bytes(std::max<int64_t>(bytes, 0)), Started(NowNs()) {}

TConsole::~TConsole() {
    std::lock_guard guard(Lock);
    Write(Erase());
}

void TConsole::Message(const std::string& file, const std::string& text) {
    Print("calyxor-cli: " + (file.empty() ? std::string() : file + ": ") + Shown(text));
}

void TConsole::Print(const std::string& text) {
    std::lock_guard guard(Lock);
    Above(text);
}

TConsole::TFile* TConsole::Begin(const std::string& label, int64_t bytes) {
    if (!Progress)
        return nullptr;
    std::lock_guard guard(Lock);
    Live.push_back(std::unique_ptr<TFile>(new TFile(*this, label, bytes)));
    TFile* file = Live.back().get();
    // The first file shows the status at once; later ones wait for the next redraw.
    if (!Drawn)
        Write(Draw());
    return file;
}

void TConsole::End(TFile* file, bool ok, const std::string& outcome) {
    if (!Progress)
        return;
    std::lock_guard guard(Lock);
    ++FilesDone;
    if (file) {
        BytesDone += file->Bytes;
        std::erase_if(Live, [file](const auto& l) { return l.get() == file; });
    }
    if (ok)
        Above(outcome);
}

void TConsole::Above(const std::string& text) {
    // In this order: the status line's state is Erase's, then Draw's.
    std::string out = Erase();
    out += text + "\n";
    out += Draw();
    Write(out);
}

void TConsole::Changed() {
    const int64_t now = NowNs();
    int64_t last = LastDraw.load(std::memory_order_relaxed);
    if (now - last < RedrawEveryNs || !LastDraw.compare_exchange_strong(last, now))
        return;
    std::lock_guard guard(Lock);
    Write(Draw());
}

// One write for a whole redraw: standard error is unbuffered, and a redraw in pieces flickers.
void TConsole::Write(const std::string& text) {
    if (!text.empty())
        std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string TConsole::Erase() {
    if (!Drawn)
        return {};
    Drawn = false;
    return EraseLine;
}

// "3/10 files  27%  12.3/45.6 MB  80.1 MB/s  the file at work"
std::string TConsole::Status() const {
    int64_t done = BytesDone;
    for (const auto& file : Live)
        done += file->DoneBytes();
    const double seconds = static_cast<double>(NowNs() - Started) / 1e9;
    const int percent = Bytes > 0 ? static_cast<int>(done * 100 / Bytes) : 0;
    std::string text = Format(Translated("Cli", "%1/%2 files"),
                              {std::to_string(FilesDone), std::to_string(Files)});
    text += "  " + std::to_string(std::min(percent, 100)) + "%  " +
            Format(Translated("Cli", "%1/%2 MB"),
                   {Megabytes(static_cast<double>(done)), Megabytes(static_cast<double>(Bytes))});
    if (seconds > 0.5)
        text += "  " + Format(Translated("Cli", "%1 MB/s"),
                              {Megabytes(static_cast<double>(done) / seconds)});
    if (!Live.empty()) {
        const TFile& newest = *Live.back();
        std::string label = newest.Wiping.load()
                                ? Format(Translated("Cli", "%1 (wiping)"), {newest.Label})
                                : newest.Label;
        if (Live.size() > 1)
            label += " +" + std::to_string(Live.size() - 1);
        // The name gets what is left of the line, its end kept.
        const std::size_t width = TerminalWidth() - 1;
        const std::size_t used = Columns(text) + 2;
        if (width > used + 4)
            text += "  " + FitLeft(label, width - used);
    }
    return text;
}

// The status line, never as wide as the terminal: a line that wrapped would leave its first
// part behind, out of reach of the carriage return, and the last column wraps on some
// terminals.
std::string TConsole::Draw() {
    // Once every file is over there is nothing left to show: the last result line ends the
    // output as an ordinary line would.
    if (!Progress || (FilesDone >= Files && Live.empty()))
        return {};
    const std::size_t width = TerminalWidth();
    std::string text = EraseLine + Cut(Status(), width > 1 ? width - 1 : 0);
    Drawn = true;
    LastDraw = NowNs();
    return text;
}

// ---- one file
// -----------------------------------------------------------------------------------

TConsole::TFile::TFile(TConsole& owner, std::string label, int64_t bytes)
    : Owner(owner), Label(std::move(label)), Bytes(bytes) {}

int64_t TConsole::TFile::DoneBytes() const {
    if (Wiping.load())
        return Bytes;
    const int32_t max = Max.load();
    const int32_t pos = Position.load();
    return max > 0 ? static_cast<int64_t>(static_cast<double>(Bytes) * pos / max) : 0;
}

void TConsole::TFile::SetMinValue(int32_t) {
    MinJustSet = true;
    Position = 0;
}

void TConsole::TFile::SetMaxValue(int32_t value) {
    if (!MinJustSet) {
        // The wipe that follows an encryption: the bytes were counted by the encryption.
        Wiping = true;
        Position = 0;
        value = 0;
    }
    MinJustSet = false;
    Max = value;
    Owner.Changed();
}

void TConsole::TFile::SetProgress(int32_t value) {
    // The engine rests the gauge at 0 when it has finished, and a wipe is not counted again.
    if ((value == 0 && Position > 0) || Wiping.load())
        return;
    Position = value;
    Owner.Changed();
}
