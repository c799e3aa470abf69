// SPDX-License-Identifier: MIT
#pragma once
// Windows metafiles (WMF through libwmf, EMF through libemf2svg), turned into SVG text that
// Qt SVG draws. Both leave the background transparent: whoever draws them fills it first.

#include <QByteArray>

// Raise EInvalidGraphic when the data is not a metafile the library can play.
[[nodiscard]] QByteArray WmfToSvg(const QByteArray& data);
[[nodiscard]] QByteArray EmfToSvg(const QByteArray& data);
