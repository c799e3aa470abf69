// SPDX-License-Identifier: MIT
#pragma once
// JPEG decoding through libjpeg's classic interface: full size, 24-bit colour, block
// smoothing on, the library's default inverse transform.

#include <QByteArray>
#include <QImage>

// Decodes a whole JPEG file held in data. With quantize set the picture is reduced to at
// most 236 colours (an indexed image), which is what a palette display of 8 bits can show
// beside the desktop's reserved colours. Raises EInvalidGraphic for a damaged file.
[[nodiscard]] QImage DecodeJpeg(const QByteArray& data, bool quantize);

// True when the primary screen shows 8 bits a pixel or fewer.
[[nodiscard]] bool PaletteDisplay();
