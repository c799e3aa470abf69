// SPDX-License-Identifier: MIT
#pragma once
// Colour values as the program stores them: 0x00BBGGRR for a plain colour (red in the low
// byte); a value with the top bit set names a system colour by its index in the low byte.

#include <QColor>
#include <cstdint>

using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;

constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clScrollBar = 0x80000000;
constexpr TColor clBackground = 0x80000001;
constexpr TColor clActiveCaption = 0x80000002;
constexpr TColor clInactiveCaption = 0x80000003;
constexpr TColor clMenu = 0x80000004;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowFrame = 0x80000006;
constexpr TColor clMenuText = 0x80000007;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clCaptionText = 0x80000009;
constexpr TColor clActiveBorder = 0x8000000A;
constexpr TColor clInactiveBorder = 0x8000000B;
constexpr TColor clAppWorkSpace = 0x8000000C;
constexpr TColor clHighlight = 0x8000000D;
constexpr TColor clHighlightText = 0x8000000E;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clGrayText = 0x80000011;
constexpr TColor clBtnText = 0x80000012;
constexpr TColor clInactiveCaptionText = 0x80000013;
constexpr TColor clBtnHighlight = 0x80000014;

[[nodiscard]] constexpr bool IsSystemColor(TColor c) {
    return (c & clSystemColor) != 0;
}

// Resolves a system colour to a plain one through the application's palette; plain colours
// are returned unchanged (with the unused top byte cleared).
[[nodiscard]] TColor ColorToRGB(TColor c);

[[nodiscard]] QColor ToQColor(TColor c);
[[nodiscard]] TColor FromQColor(const QColor& c);
