// SPDX-License-Identifier: MIT
#pragma once
// Standard error of calyxor-cli, shared by the jobs that run at once. Messages name their
// file. On a terminal one status line for the whole run sits at the bottom and is redrawn in
// place; everything else is printed above it as ordinary lines, so that nothing the user had
// on the screen, the key prompts included, is ever overwritten. Every call may come from any
// thread.

#include "cipher/Progress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TConsole {
public:
    // progress: draw the status line and the results (standard error is a terminal and -q
    // was not given). files and bytes: the run's whole work, for the status line.
    TConsole(bool progress, std::size_t files, int64_t bytes);
    // Takes the status line away: a run leaves only its ordinary lines behind.
    ~TConsole();
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

    [[nodiscard]] bool ShowsProgress() const { return Progress; }

    // "calyxor-cli: FILE: text"; without a file "calyxor-cli: text". Always shown.
    void Message(const std::string& file, const std::string& text);
    // A line of its own above the status line, always shown (the run's summary).
    void Print(const std::string& text);

    // One file at work: the engine's gauge for it.
    class TFile : public TProgressReceiver {
    public:
        void SetMinValue(int32_t value) override;
        void SetMaxValue(int32_t value) override;
        void SetProgress(int32_t value) override;

    private:
        friend class TConsole;
        TFile(TConsole& owner, std::string label, int64_t bytes);
        [[nodiscard]] int64_t DoneBytes() const;
        TConsole& Owner;
        const std::string Label;
        const int64_t Bytes;
        std::atomic<int32_t> Max{0};
        std::atomic<int32_t> Position{0};
        // A gauge maximum that does not follow a minimum starts the wipe after an encryption.
        bool MinJustSet = false;
        std::atomic<bool> Wiping{false};
    };

    // A file of the given size starts; nullptr when no progress is drawn.
    [[nodiscard]] TFile* Begin(const std::string& label, int64_t bytes);
    // A file of the run is over, worked on or not; a file done prints its outcome on the
    // terminal. line may be nullptr.
    void End(TFile* file, bool ok, const std::string& outcome);

private:
    void Changed();
    // These need Lock held.
    static void Write(const std::string& text);
    [[nodiscard]] std::string Erase();
    [[nodiscard]] std::string Status() const;
    [[nodiscard]] std::string Draw();
    // Prints text as a line of its own above the status line.
    void Above(const std::string& text);

    const bool Progress;
    const std::size_t Files;
    const int64_t Bytes;
    const int64_t Started; // steady clock, nanoseconds
    std::mutex Lock;
    std::vector<std::unique_ptr<TFile>> Live;
    std::size_t FilesDone = 0;
    int64_t BytesDone = 0; // of the files over
    bool Drawn = false;
    std::atomic<int64_t> LastDraw{0};
};
