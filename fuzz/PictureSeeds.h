// SPDX-License-Identifier: MIT
#pragma once
// The picture fuzzers' starting inputs, which the picture tests replay too: the shipped skins'
// pictures, and small metafiles and bitmaps made here for what the skins do not hold (metafiles
// of both kinds with shapes and bitmaps, run-length coded pixels).

#include "fuzz/Seeds.h"

#include <cstdint>
#include <string>
#include <vector>

// Little-endian bytes.
class TLeBytes {
public:
    TLeBytes& U8(int v) {
        Bytes.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    TLeBytes& U16(int v) { return U8(v).U8(v >> 8); }
    TLeBytes& U32(uint32_t v) {
        return U16(static_cast<int>(v & 0xFFFF)).U16(static_cast<int>(v >> 16));
    }
    TLeBytes& Raw(const std::string& bytes) {
        Bytes += bytes;
        return *this;
    }
    std::string Bytes;
};

// A 2 x 2 bitmap of red pixels, 24 bits each, rows padded to 8 bytes: its header and rows.
inline std::string RedDib() {
    TLeBytes b;
    b.U32(40).U32(2).U32(2).U16(1).U16(24).U32(0).U32(16).U32(0).U32(0).U32(0).U32(0);
    for (int row = 0; row < 2; ++row)
        b.U8(0).U8(0).U8(255).U8(0).U8(0).U8(255).U16(0);
    return b.Bytes;
}

// The placeable header of a 64 x 32 pixel WMF at 96 dpi, with its checksum.
inline void PlaceableWmfHeader(TLeBytes& b) {
    const int header[] = {0xCDD7, 0x9AC6, 0, 0, 0, 64, 32, 96, 0, 0};
    int checksum = 0;
    for (int word : header) {
        b.U16(word);
        checksum ^= word;
    }
    b.U16(checksum);
}

// A placeable 64 x 32 WMF whose one drawing record stretches RedDib over (16, 8)-(48, 24).
// The header's largest-record field is at kWmfMaxRecordAt, the bitmap header at kWmfDib.
constexpr int kWmfMaxRecordAt = 22 + 12;
constexpr int kWmfDib = 22 + 18 + 10 + 10 + 26;
inline std::string WmfWithBitmap() {
    TLeBytes b;
    PlaceableWmfHeader(b);
    const int blit = (26 + static_cast<int>(RedDib().size())) / 2;
    b.U16(1).U16(9).U16(0x0300).U32(9 + 5 + 5 + blit + 3).U16(0).U32(blit).U16(0);
    b.U32(5).U16(0x020B).U16(0).U16(0);                                  // window origin
    b.U32(5).U16(0x020C).U16(32).U16(64);                                // window extent
    b.U32(blit).U16(0x0B41).U32(0x00CC0020).U16(2).U16(2).U16(0).U16(0); // source 2 x 2
    b.U16(16).U16(32).U16(8).U16(16);                                    // onto 32 x 16 at (16, 8)
    b.Raw(RedDib());
    b.U32(3).U16(0);
    return b.Bytes;
}

// The same frame with a red brush and a rectangle, placeable or not.
inline std::string WmfWithRectangle(bool placeable) {
    TLeBytes b;
    if (placeable)
        PlaceableWmfHeader(b);
    b.U16(1).U16(9).U16(0x0300).U32(40).U16(1).U32(7).U16(0);
    b.U32(5).U16(0x020B).U16(0).U16(0);
    b.U32(5).U16(0x020C).U16(32).U16(64);
    b.U32(7).U16(0x02FC).U16(0).U32(0x000000FF).U16(0);  // solid red brush
    b.U32(4).U16(0x012D).U16(0);                         // select it
    b.U32(7).U16(0x041B).U16(24).U16(48).U16(8).U16(16); // rectangle
    b.U32(3).U16(0);
    return b.Bytes;
}

// The header record of an EMF of 64 x 32 device pixels holding bytes in records.
inline void EmfHeader(TLeBytes& b, uint32_t bytes, uint32_t records) {
    b.U32(1).U32(88).U32(0).U32(0).U32(64).U32(32);
    b.U32(0).U32(0).U32(1693).U32(846);
    b.U32(0x464D4520).U32(0x10000).U32(bytes).U32(records);
    b.U16(0).U16(0).U32(0).U32(0).U32(0);
    b.U32(1024).U32(768).U32(271).U32(203);
}

// An EMF with one StretchDIBits record drawing RedDib over (16, 8)-(48, 24). The record
// starts at kEmfBlit, its bitmap header at kEmfBlit + 80.
constexpr int kEmfBlit = 88;
inline std::string EmfWithBitmap() {
    TLeBytes b;
    EmfHeader(b, 88 + 136 + 20, 3);
    b.U32(81).U32(136).U32(16).U32(8).U32(47).U32(23); // StretchDIBits, its bounds
    b.U32(16).U32(8).U32(0).U32(0).U32(2).U32(2);      // destination corner, source rectangle
    b.U32(80).U32(40).U32(120).U32(16);                // header and pixels: offsets, lengths
    b.U32(0).U32(0x00CC0020).U32(32).U32(16);          // RGB colours, copy, destination size
    b.Raw(RedDib());
    b.U32(14).U32(20).U32(0).U32(16).U32(20);
    return b.Bytes;
}

inline std::string EmfWithRectangle() {
    TLeBytes b;
    EmfHeader(b, 168, 5);
    b.U32(39).U32(24).U32(1).U32(0).U32(0x000000FF).U32(0); // solid red brush as object 1
    b.U32(37).U32(12).U32(1);                               // select it
    b.U32(43).U32(24).U32(16).U32(8).U32(48).U32(24);       // rectangle
    b.U32(14).U32(20).U32(0).U32(16).U32(20);
    return b.Bytes;
}

// A 4 x 2 bitmap of 8 bits a pixel, run-length coded; palette entry 1 is red.
inline std::string RleBmp() {
    TLeBytes b;
    const std::string rows("\x04\x01\x00\x00\x04\x01\x00\x00\x00\x01", 10);
    const uint32_t palette = 256 * 4;
    b.U8('B').U8('M').U32(54 + palette + rows.size()).U32(0).U32(54 + palette);
    b.U32(40).U32(4).U32(2).U16(1).U16(8).U32(1).U32(rows.size()).U32(0).U32(0).U32(0).U32(0);
    b.U32(0).U32(0x00FF0000);
    for (int i = 2; i < 256; ++i)
        b.U32(0);
    b.Raw(rows);
    return b.Bytes;
}

// The picture fuzzers, each with the extension its inputs are loaded as.
struct TPictureTarget {
    const char* Name;
    const char* Extension;
};
constexpr TPictureTarget kPictureTargets[] = {
    {"jpeg", "jpg"}, {"bmp", "bmp"}, {"ico", "ico"}, {"wmf", "wmf"}, {"emf", "emf"}};

inline std::vector<TSeed> PictureSeeds(const std::string& sourceDir, const std::string& target) {
    const std::string skins = sourceDir + "/Skins/";
    std::vector<TSeed> seeds;
    auto shipped = [&](const std::string& path) {
        seeds.push_back({path.substr(0, path.find('/')) + "-" + path.substr(path.find('/') + 1),
                         ReadSeedFile(skins + path)});
    };
    if (target == "jpeg") {
        shipped("default/back.jpg");
    } else if (target == "bmp") {
        for (const char* path : {"default/close-up.bmp", "default/crypt-down.bmp",
                                 "graphite/back.bmp", "graphite/see-up.bmp"})
            shipped(path);
        seeds.push_back({"rle8.bmp", RleBmp()});
    } else if (target == "ico") {
        shipped("graphite/close-up.ico");
        shipped("graphite/close-down.ico");
    } else if (target == "wmf") {
        seeds = {{"bitmap.wmf", WmfWithBitmap()},
                 {"rectangle.wmf", WmfWithRectangle(true)},
                 {"unplaced.wmf", WmfWithRectangle(false)}};
    } else if (target == "emf") {
        seeds = {{"bitmap.emf", EmfWithBitmap()}, {"rectangle.emf", EmfWithRectangle()}};
    }
    return seeds;
}
