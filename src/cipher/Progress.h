#pragma once
// The two seams through which the file operations reach the window without knowing it: the
// progress gauge and the modal message dialog. The cipher library owns them so that it needs
// nothing of the user interface.

#include <cstdint>
#include <functional>
#include <string>

// Receives the progress of a file operation as the gauge does: a minimum, a maximum and a
// position, written in the order the operation defines.
class TProgressReceiver {
public:
    virtual ~TProgressReceiver() = default;
    virtual void SetMinValue(int32_t value) = 0;
    virtual void SetMaxValue(int32_t value) = 0;
    virtual void SetProgress(int32_t value) = 0;
};

// Shows a message to the user and returns when the user has read it. The application installs
// its modal dialog; tests install a recorder; without either the text goes to standard error.
using TMessageHandler = std::function<void(const std::string& text)>;

void SetMessageHandler(TMessageHandler handler);
void ShowMessageText(const std::string& text);
