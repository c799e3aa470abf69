// SPDX-License-Identifier: MIT
#pragma once
// Small metafiles written record by record, for the tests of the picture holder and of the
// controls that draw it.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <cstdint>

namespace testpictures {

// Little-endian record writer for the metafiles below.
class TBytes {
public:
    TBytes& U16(int v) {
        fOut.writeRawData(reinterpret_cast<const char*>(&v), 2);
        return *this;
    }
    TBytes& U32(uint32_t v) {
        fOut.writeRawData(reinterpret_cast<const char*>(&v), 4);
        return *this;
    }
    QByteArray Data() const { return fData; }

private:
    QByteArray fData;
    QDataStream fOut{&fData, QIODevice::WriteOnly};
};

// A placeable WMF of 64 by 32 pixels at 96 dpi: a red rectangle from (16, 8) to (48, 24) on
// a transparent background.
inline QByteArray MakeWmf() {
    TBytes b;
    const int header[] = {int(0xCDD7), 0x9AC6, 0, 0, 0, 64, 32, 96, 0, 0};
    int checksum = 0;
    for (int word : header) {
        b.U16(word);
        checksum ^= word;
    }
    b.U16(checksum);
    b.U16(1).U16(9).U16(0x0300).U32(40).U16(1).U32(7).U16(0); // 40 words, largest record 7
    b.U32(5).U16(0x020B).U16(0).U16(0);                       // window origin (y, x)
    b.U32(5).U16(0x020C).U16(32).U16(64);                     // window extent (y, x)
    b.U32(7).U16(0x02FC).U16(0).U32(0x000000FF).U16(0);       // solid red brush
    b.U32(4).U16(0x012D).U16(0);                              // select it
    b.U32(7).U16(0x041B).U16(24).U16(48).U16(8).U16(16);      // rectangle (b, r, t, l)
    b.U32(3).U16(0);                                          // end of file
    return b.Data();
}

// An EMF whose bounds are 64 by 32 device pixels, with the same red rectangle. Its natural
// size is taken from the bounds as libemf2svg reads them, right minus left.
inline QByteArray MakeEmf() {
    TBytes b;
    b.U32(1).U32(88);                               // header record
    b.U32(0).U32(0).U32(64).U32(32);                // bounds
    b.U32(0).U32(0).U32(1693).U32(846);             // frame in 0.01 mm
    b.U32(0x464D4520).U32(0x10000).U32(168).U32(5); // signature, version, bytes, records
    b.U16(2).U16(0).U32(0).U32(0).U32(0);           // handles, reserved, description, palette
    b.U32(1024).U32(768).U32(271).U32(203);         // device in pixels and millimetres
    b.U32(39).U32(24).U32(1).U32(0).U32(0x000000FF).U32(0); // solid red brush as object 1
    b.U32(37).U32(12).U32(1);                               // select it
    b.U32(43).U32(24).U32(16).U32(8).U32(48).U32(24);       // rectangle
    b.U32(14).U32(20).U32(0).U32(16).U32(20);               // end of file
    return b.Data();
}

} // namespace testpictures
