// SPDX-License-Identifier: MIT
#include "platform/Colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// The desktop's system colours, taken from the application's palette so that the built-in
// look follows the user's theme. Entries without a palette role use the classic values.
QColor SystemColor(uint32_t index) {
    const QPalette pal = QGuiApplication::instance() ? QGuiApplication::palette() : QPalette();
    switch (index) {
    case 0x05: // window background
        return pal.color(QPalette::Base);
    case 0x06: // window frame
        return QColor(0, 0, 0);
    case 0x07: // menu text
    case 0x08: // window text
        return pal.color(QPalette::WindowText);
    case 0x04: // menu
    case 0x0F: // button face
        return pal.color(QPalette::Button);
    case 0x10: // button shadow
        return pal.color(QPalette::Dark);
    case 0x11: // grey text
        return pal.color(QPalette::Disabled, QPalette::Text);
    case 0x12: // button text
        return pal.color(QPalette::ButtonText);
    case 0x0D: // highlight
        return pal.color(QPalette::Highlight);
    case 0x0E: // highlighted text
        return pal.color(QPalette::HighlightedText);
    case 0x14: // button highlight
        return pal.color(QPalette::Light);
    case 0x0C: // application work space
        return QColor(0x80, 0x80, 0x80);
    case 0x01: // desktop
        return QColor(0x00, 0x80, 0x80);
    case 0x02: // active caption
        return QColor(0x00, 0x00, 0x80);
    case 0x03: // inactive caption
        return QColor(0x80, 0x80, 0x80);
    case 0x09: // caption text
        return QColor(0xFF, 0xFF, 0xFF);
    case 0x13: // inactive caption text
        return QColor(0xC0, 0xC0, 0xC0);
    default:
        return QColor(0xC0, 0xC0, 0xC0);
    }
}

} // namespace

TColor FromQColor(const QColor& c) {
    return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
           (static_cast<TColor>(c.blue()) << 16);
}

TColor ColorToRGB(TColor c) {
    if (IsSystemColor(c))
        return FromQColor(SystemColor(c & 0xFF));
    return c & 0x00FFFFFF;
}

QColor ToQColor(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}
