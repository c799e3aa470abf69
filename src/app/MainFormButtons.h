// SPDX-License-Identifier: MIT
#pragma once
// The seven picture buttons, one row each: building, binding and skinning the window all read
// this table, so a button cannot be placed by one list and bound or skinned by another.

#include "app/MainForm.h"

struct TButtonRow {
    TVeskFade* TForm1::*Field;
    const char* Name;
    int Left, Top, Width, Height;
    // The hint as written in the Russian window; the catalogue translates it.
    const char* Hint;
    // What a click runs; the eye button has no command of its own.
    void (TForm1::*Click)();
    // False: the pressed picture stays after the click, until the pointer leaves the button.
    bool ResetOnRelease;
    // The section that dresses the button, as a skin file names it once upper-cased.
    const char* SkinSection;
};

// In stacking order from the bottom.
inline constexpr TButtonRow ButtonRows[] = {
    {&TForm1::BtnClose, "BtnClose", 256, 8, 33, 17, QT_TRANSLATE_NOOP("MainForm", "Закрыть"),
     &TForm1::BtnCloseClick, false, "[BTNCLOSE]"},
    {&TForm1::BtnSee, "BtnSee", 264, 32, 35, 17, QT_TRANSLATE_NOOP("MainForm", "Просмотреть ключ"),
     nullptr, true, "[BTNSEE]"},
    {&TForm1::BtnOpen, "BtnOpen", 192, 136, 35, 17, QT_TRANSLATE_NOOP("MainForm", "Выбрать файл"),
     &TForm1::BtnOpenClick, false, "[BTNOPEN]"},
    {&TForm1::BtnCrypt, "BtnCrypt", 8, 136, 35, 17,
     QT_TRANSLATE_NOOP("MainForm", "Зашифровать файл"), &TForm1::BtnCryptClick, true, "[BTNCRYPT]"},
    {&TForm1::BtnDeCrypt, "BtnDeCrypt", 72, 136, 35, 17,
     QT_TRANSLATE_NOOP("MainForm", "Расшифровать файл"), &TForm1::BtnDeCryptClick, true,
     "[BTNDECRYPT]"},
    {&TForm1::BtnKill, "BtnKill", 128, 136, 35, 17, QT_TRANSLATE_NOOP("MainForm", "Удалить файл"),
     &TForm1::BtnKillClick, true, "[BTNKILL]"},
    {&TForm1::BtnMinimize, "BtnMinimize", 216, 8, 33, 17, QT_TRANSLATE_NOOP("MainForm", "Свернуть"),
     &TForm1::BtnMinimizeClick, true, "[BTNMINIMIZE]"},
};

// The row of a button, found while compiling: a field without a row does not build.
consteval const TButtonRow* ButtonRowOf(TVeskFade* TForm1::*field) {
    for (const TButtonRow& row : ButtonRows)
        if (row.Field == field)
            return &row;
    throw "not a button of the window";
}
