// SPDX-License-Identifier: MIT
#pragma once
// Standard error of calyxor-cli, shared by the jobs that run at once: messages that name their
// file, and on a terminal a progress line per file that is redrawn in place. Every call may come
// from any thread.

#include "cipher/Progress.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TConsole {
public:
    // progress: draw progress lines (standard error is a terminal and -q was not given).
    explicit TConsole(bool progress);

    [[nodiscard]] bool ShowsProgress() const { return Progress; }

    // "calyxor-cli: FILE: text"; without a file "calyxor-cli: text".
    void Message(const std::string& file, const std::string& text);

    // One file's progress line, shown while the file is worked on.
    class TLine : public TProgressReceiver {
    public:
        void SetMinValue(int32_t value) override;
        void SetMaxValue(int32_t value) override;
        void SetProgress(int32_t value) override;

    private:
        friend class TConsole;
        TLine(TConsole& owner, std::string label, int64_t bytes);
        TConsole& Owner;
        const std::string Label;
        const int64_t Bytes; // the file's size, to tell MB/s from the gauge's fraction
        std::atomic<int32_t> Max{0};
        std::atomic<int32_t> Position{0};
        const int64_t Begun;          // steady clock, nanoseconds
        std::atomic<int64_t> Started; // steady clock, nanoseconds; restarted for a wipe
        // A gauge maximum that does not follow a minimum starts the wipe after an encryption.
        bool MinJustSet = false;
        std::atomic<bool> Wiping{false};
    };

    // A line for a file of the given size; nullptr when no progress is drawn.
    [[nodiscard]] TLine* Begin(const std::string& label, int64_t bytes);
    // Takes the line away; a finished file leaves a last line with its outcome.
    void End(TLine* line, bool ok, const std::string& outcome);

private:
    void Changed();
    // These need Lock held. The live lines are the progress lines of the files at work, at
    // the bottom; what is printed for good goes above them.
    static void Write(const std::string& text);
    [[nodiscard]] std::string ClearLive();
    [[nodiscard]] std::string DrawLive();
    [[nodiscard]] std::string Render(const TLine& line, bool done, std::string label) const;

    const bool Progress;
    std::mutex Lock;
    std::vector<std::unique_ptr<TLine>> Live;
    std::size_t DrawnLines = 0;
    std::atomic<int64_t> LastDraw{0};
};
