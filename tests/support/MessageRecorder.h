// SPDX-License-Identifier: MIT
#pragma once
// Records what the file operations give their caller while they run, instead of showing it.

#include "cipher/Notices.h"
#include "cipher/Progress.h"

#include <string>
#include <vector>

// Records the notices in order: their texts, and the paths they concern.
class TNoticeRecorder : public TNoticeReceiver {
public:
    void Notice(const TNotice& notice) override {
        Messages.push_back(notice.Text);
        Paths.push_back(notice.Path);
    }
    void Clear() {
        Messages.clear();
        Paths.clear();
    }
    std::vector<std::string> Messages;
    std::vector<std::string> Paths;
};

// Records the progress writes in order, as "min 0", "max 10", "pos 5".
class TProgressRecorder : public TProgressReceiver {
public:
    void SetMinValue(int32_t v) override { Calls.push_back("min " + std::to_string(v)); }
    void SetMaxValue(int32_t v) override { Calls.push_back("max " + std::to_string(v)); }
    void SetProgress(int32_t v) override { Calls.push_back("pos " + std::to_string(v)); }
    std::vector<std::string> Calls;
};
