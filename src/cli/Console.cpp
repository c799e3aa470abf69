// SPDX-License-Identifier: MIT
#include "cli/Console.h"

#include "lang/Texts.h"

#include <algorithm>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now().time_since_epoch())
        .count();
}

// The terminal is redrawn at most this often, however fast the files go: the engine reports
// every 10240 bytes, which would be thousands of redraws a second.
constexpr int64_t RedrawEveryNs = 100'000'000;

int TerminalWidth() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20)
        return ws.ws_col;
    return 80;
}

// Characters, not bytes: names are UTF-8, and a line wider than the terminal would wrap and
// spoil the redraw, which counts lines.
std::size_t Columns(const std::string& s) {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Keeps the end of a name, which tells files apart better than the folders before it.
std::string FitLeft(const std::string& s, std::size_t width) {
    if (Columns(s) <= width)
        return s;
    std::size_t keep = width > 3 ? width - 3 : 0;
    std::size_t at = s.size();
    while (at > 0 && keep > 0) {
        --at;
        if ((s[at] & 0xC0) != 0x80)
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

} // namespace

TConsole::TConsole(bool progress) : Progress(progress) {}

void TConsole::Message(const std::string& file, const std::string& text) {
    const std::string line =
        "calyxor-cli: " + (file.empty() ? std::string() : file + ": ") + Shown(text) + "\n";
    std::lock_guard guard(Lock);
    Write(ClearLive() + line + DrawLive());
}

TConsole::TLine* TConsole::Begin(const std::string& label, int64_t bytes) {
    if (!Progress)
        return nullptr;
    std::lock_guard guard(Lock);
    Live.push_back(std::unique_ptr<TLine>(new TLine(*this, label, bytes)));
    Write(ClearLive() + DrawLive());
    return Live.back().get();
}

void TConsole::End(TLine* line, bool ok, const std::string& outcome) {
    if (!line)
        return;
    std::lock_guard guard(Lock);
    std::string text = ClearLive();
    if (ok)
        text += Render(*line, true, outcome) + "\n";
    std::erase_if(Live, [line](const auto& l) { return l.get() == line; });
    Write(text + DrawLive());
}

void TConsole::Changed() {
    const int64_t now = NowNs();
    int64_t last = LastDraw.load(std::memory_order_relaxed);
    if (now - last < RedrawEveryNs || !LastDraw.compare_exchange_strong(last, now))
        return;
    std::lock_guard guard(Lock);
    Write(ClearLive() + DrawLive());
}

// One write for a whole redraw: standard error is unbuffered, and a redraw in pieces flickers.
void TConsole::Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string TConsole::ClearLive() {
    if (DrawnLines == 0)
        return {};
    // Up to the first live line, then clear from there to the end of the screen.
    std::string text = "\033[" + std::to_string(DrawnLines) + "A\r\033[J";
    DrawnLines = 0;
    return text;
}

std::string TConsole::DrawLive() {
    std::string text;
    for (const auto& line : Live)
        text += Render(*line, false, line->Label) + "\n";
    DrawnLines = Live.size();
    return text;
}

std::string TConsole::Render(const TLine& line, bool done, std::string label) const {
    const int32_t max = line.Max.load();
    const int32_t pos = done ? max : line.Position.load();
    const double fraction = done ? 1.0 : max > 0 ? static_cast<double>(pos) / max : 0.0;
    // The last line gives the whole run's speed, a wipe after an encryption included.
    const double seconds =
        static_cast<double>(NowNs() - (done ? line.Begun : line.Started.load())) / 1e9;
    const double doneBytes = fraction * static_cast<double>(line.Bytes);
    char head[64];
    std::snprintf(head, sizeof head, "%3d%%  %7.1f %s  ", static_cast<int>(fraction * 100),
                  seconds > 0 ? doneBytes / seconds / 1e6 : 0.0, Translated("Cli", "MB/s"));
    if (!done && line.Wiping.load())
        label = Format(Translated("Cli", "%1 (wiping)"), {label});
    const std::size_t width = static_cast<std::size_t>(TerminalWidth());
    const std::size_t used = Columns(head) + 1; // the last column would wrap on some terminals
    return head + FitLeft(label, width > used + 8 ? width - used : 8);
}

// ---- one file's line
// -----------------------------------------------------------------------------

TConsole::TLine::TLine(TConsole& owner, std::string label, int64_t bytes)
    : Owner(owner), Label(std::move(label)), Bytes(bytes), Begun(NowNs()), Started(Begun) {}

void TConsole::TLine::SetMinValue(int32_t) {
    MinJustSet = true;
    Position = 0;
}

void TConsole::TLine::SetMaxValue(int32_t value) {
    if (!MinJustSet) {
        // The wipe that follows an encryption: its speed is its own.
        Wiping = true;
        Started = NowNs();
        Position = 0;
    }
    MinJustSet = false;
    Max = value;
    Owner.Changed();
}

void TConsole::TLine::SetProgress(int32_t value) {
    // The engine rests the gauge at 0 when it has finished; the line keeps what was done.
    if (value == 0 && Position > 0)
        return;
    Position = value;
    Owner.Changed();
}
