// SPDX-License-Identifier: MIT
// The window's look from a skin file: each setting the file gives is applied to the control its
// section names, on top of whatever the window shows, in the order the file gives them.

#include "app/MainForm.h"
#include "app/MainFormButtons.h"
#include "config/FilePaths.h"
#include "config/SkinValues.h"
#include "config/TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>

namespace {

QString Q(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Skins are shared between people: whatever a skin says, a place or a size stays within what a
// screen can hold, before any image is made for it.
constexpr int MaxSkinCoordinate = 16384;
int SkinPosition(int32_t value) {
    return std::clamp<int32_t>(value, -MaxSkinCoordinate, MaxSkinCoordinate);
}
int SkinSize(int32_t value) {
    return std::clamp<int32_t>(value, 0, MaxSkinCoordinate);
}
// Past this a font's glyphs are larger than the bound screen itself.
constexpr int MaxSkinFontPoints = 4096;

void SetFontSize(QWidget* w, int points) {
    QFont font = w->font();
    font.setPointSize(points > 0 ? points : 1);
    w->setFont(font);
}

} // namespace

void TForm1::SetTextColor(QWidget* w, QPalette::ColorRole role, TColor color) {
    QPalette pal = w->palette();
    pal.setColor(role, ToQColor(color));
    w->setPalette(pal);
}

bool TForm1::LoadSkin() {
    const std::string skinDir = ExtractFilePath(SkinFile);
    return ReadSkinSettings(
        ReadTextFileBytes(SkinFile),
        [&](const std::string& section, const std::string& key, const std::string& value) {
            ApplySkinSetting(section, key, value, skinDir);
        });
}

void TForm1::ApplySkinSetting(const std::string& section, const std::string& key,
                              const std::string& value, const std::string& skinDir) {
    auto number = [&] { return SkinStrToInt(value); };
    auto picturePath = [&] { return Q(skinDir + NativeSeparators(value)); };

    if (section == "[MAINFORM]") {
        if (key == "BACKGROUND") {
            BackImage->Picture.LoadFromFile(picturePath());
            SetClientSize(SkinSize(BackImage->Picture.Width()),
                          SkinSize(BackImage->Picture.Height()));
        }
        return;
    }
    for (const TButtonRow& row : ButtonRows) {
        if (section != row.SkinSection)
            continue;
        TVeskFade* button = this->*row.Field;
        if (key == "LEFT")
            button->SetLeft(SkinPosition(number()));
        else if (key == "TOP")
            button->SetTop(SkinPosition(number()));
        else if (key == "PICTUREUP")
            button->PicFrom().LoadFromFile(picturePath());
        else if (key == "PICTUREDOWN")
            button->PicTo().LoadFromFile(picturePath());
        return;
    }

    const std::pair<const char*, QWidget*> controls[] = {
        {"[LABELFILENAME]", LabelFilename},
        {"[PROGRESSBAR]", ProgressBar},
        {"[CHECKBOXKILL]", CheckBoxKill},
        {"[CHECKBOXSFX]", CheckBoxSFX},
        {"[KEYBOX]", KeyBox},
    };
    const auto named = std::find_if(std::begin(controls), std::end(controls),
                                    [&](const auto& c) { return section == c.first; });
    if (named == std::end(controls))
        return;
    QWidget* control = named->second;

    const QRect g = control->geometry();
    if (key == "LEFT")
        control->move(SkinPosition(number()), g.top());
    else if (key == "TOP")
        control->move(g.left(), SkinPosition(number()));
    else if (key == "WIDTH")
        control->resize(SkinSize(number()), g.height());
    else if (key == "HEIGHT")
        control->resize(g.width(), SkinSize(number()));
    else if (key == "FONTSIZE")
        SetFontSize(control, std::min(number(), MaxSkinFontPoints));
    else if (key == "COLOR") {
        const auto color = static_cast<TColor>(number());
        if (control == ProgressBar)
            ProgressBar->SetForeColor(color);
        else if (control == KeyBox)
            SetTextColor(KeyBox, QPalette::Text, color);
        else
            SetTextColor(control, QPalette::WindowText, color);
    } else if (key == "BACKCOLOR" && control != LabelFilename) {
        const auto color = static_cast<TColor>(number());
        if (control == ProgressBar) {
            ProgressBar->SetBackColor(color);
        } else if (control == KeyBox) {
            SetTextColor(KeyBox, QPalette::Base, color);
        } else {
            // A check box fills with the button role; both roles, so the whole box takes it.
            SetTextColor(control, QPalette::Window, color);
            SetTextColor(control, QPalette::Button, color);
            control->setAutoFillBackground(true);
        }
    }
}

void TForm1::N1Click() {
    OpenDialog1.Filter = QCoreApplication::translate("MainForm", "Calyxor skin file") + "|*.ini";
    OpenDialog1.InitialDir = Q(ExtractFilePath(SkinFile));
    if (!OpenDialog1.Execute(this))
        return;
    const std::string previous = SkinFile;
    SkinFile = QFile::encodeName(OpenDialog1.FileName).toStdString();
    if (!LoadSkin())
        SkinFile = previous;
}
