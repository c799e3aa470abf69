// SPDX-License-Identifier: MIT
#pragma once
// The seam through which the file operations reach the window's gauge without knowing it. The
// cipher library owns it so that it needs nothing of the user interface; its other seam, the
// notices a run gives while it goes on, is in Notices.h.

#include <cstdint>

// Receives the progress of a file operation as the gauge does: a minimum, a maximum and a
// position, written in the order the operation defines.
class TProgressReceiver {
public:
    virtual ~TProgressReceiver() = default;
    virtual void SetMinValue(int32_t value) = 0;
    virtual void SetMaxValue(int32_t value) = 0;
    virtual void SetProgress(int32_t value) = 0;
};
