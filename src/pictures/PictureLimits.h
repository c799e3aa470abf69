// SPDX-License-Identifier: MIT
#pragma once
// Bounds on what a picture may claim before its pixels are allocated, and a reader of the
// bitmap headers that bitmaps, icons and metafiles carry. Skins travel between people, so
// every size in a picture file is read as a claim to be checked, never as a promise.

#include <cstdint>
#include <optional>
#include <string>

// A picture is only ever shown in a window on a desktop: no side can usefully pass what a
// screen shows, and nothing may cost more than a few hundred megabytes of pixels.
constexpr int64_t kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = int64_t{64} * 1024 * 1024;

// An empty string when a picture of width x height pixels may be decoded, else the message
// that refuses it, starting with what ("JPEG image", "Metafile", ...).
[[nodiscard]] std::string PictureSizeProblem(const char* what, int64_t width, int64_t height);
// Raises EInvalidGraphic with that message.
void CheckPictureSize(const char* what, int64_t width, int64_t height);

// What a device-independent bitmap's header says about the bytes that must follow it.
struct TDibLayout {
    int64_t Width = 0;
    int64_t Height = 0; // rows, whichever way they are stored
    int BitCount = 0;
    uint32_t Compression = 0;
    int64_t HeaderBytes = 0; // the header with its colour table and colour masks
    int64_t PixelBytes = 0;  // uncompressed rows exactly; compressed data as declared
    [[nodiscard]] bool Compressed() const { return Compression == 1 || Compression == 2; }
};

// Reads the header at data (available bytes from there). paletteEntryBytes is 4 for the
// usual colour table of RGB quads, 2 where a metafile says the table holds palette indices.
// Empty when the header is damaged or describes something no decoder here can draw.
[[nodiscard]] std::optional<TDibLayout> ReadDibHeader(const unsigned char* data, int64_t available,
                                                      int paletteEntryBytes = 4);

// True when a run-length coded bitmap of layout's size (RLE8 or RLE4) ends within its data
// and never draws outside its rows: the walk a decoder does, without drawing.
[[nodiscard]] bool RleStreamSound(const unsigned char* data, int64_t size,
                                  const TDibLayout& layout);

// Little-endian fields of a picture file, read from bytes of known length.
inline uint16_t LoadU16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t LoadS32(const unsigned char* p) {
    return static_cast<int32_t>(LoadU32(p));
}
