#pragma once
// Records what the file operations would have shown the user, instead of a dialog.

#include "cipher/Progress.h"

#include <string>
#include <vector>

class TMessageRecorder {
public:
    TMessageRecorder() {
        SetMessageHandler([this](const std::string& text) { Messages.push_back(text); });
    }
    ~TMessageRecorder() { SetMessageHandler(nullptr); }
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;
    std::vector<std::string> Messages;
};

// Records the progress writes in order, as "min 0", "max 10", "pos 5".
class TProgressRecorder : public TProgressReceiver {
public:
    void SetMinValue(int32_t v) override { Calls.push_back("min " + std::to_string(v)); }
    void SetMaxValue(int32_t v) override { Calls.push_back("max " + std::to_string(v)); }
    void SetProgress(int32_t v) override { Calls.push_back("pos " + std::to_string(v)); }
    std::vector<std::string> Calls;
};
