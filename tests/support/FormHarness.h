// SPDX-License-Identifier: MIT
#pragma once
// What the tests of the main window share: a fade clock that costs no real time, and the window
// opened as a first start would open it, with its message boxes recorded instead of shown.

#include "app/MainForm.h"
#include "cipher/core/Cipher.h"
#include "controls/FadeClock.h"
#include "platform/Dialogs.h"
#include "support/TempDir.h"

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

// The fades are paced by this clock, so a press costs no real time.
class TInstantClock : public TFadeClock {
public:
    double NowMs() override { return Now; }
    void SleepMs(int ms) override { Now += ms; }
    void ProcessEvents() override {}
    uint32_t MsOfUtcDay() override { return 0; }
    double Now = 0;
};

// The main window with dir as its application folder: the default skin of the source tree and
// a self-extracting module that is not there. From here on every message goes into shown as
// "caption: text" instead of waiting for a click, until Dialogs::SetRecorder(nullptr).
inline std::unique_ptr<TForm1> OpenDefaultForm(const TTempDir& dir,
                                               std::vector<std::string>& shown) {
    BuildPrimeTable();
    Dialogs::SetRecorder([&shown](const QString& caption, const QString& text) {
        shown.push_back(caption.toStdString() + ": " + text.toStdString());
    });
    const std::string skins = CALYXOR_SOURCE_DIR "/Skins/default/skin.ini";
    const std::string ini = "[Config]\r\nSkin=" + skins + "\r\nSFX=" + dir / "none.sfx" + "\r\n";
    WriteAll(dir / "calyxor.ini", {ini.begin(), ini.end()});
    return std::make_unique<TForm1>(std::vector<std::string>{}, dir.Path + "/");
}

// A button shows its pressed picture from the end of its fade until it is reset.
inline bool Pressed(const TVeskFade* b) {
    return b->FrontImage() == b->TargetImage();
}

// Closes the popup menus still open, which would otherwise outlive the window they came from.
inline void CloseMenus() {
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}
