// SPDX-License-Identifier: MIT
#include "pictures/PictureLimits.h"

#include "pictures/InvalidGraphic.h"

#include <cstdlib>

std::string PictureSizeProblem(const char* what, int64_t width, int64_t height) {
    if (width <= kMaxPictureSide && height <= kMaxPictureSide &&
        width * height <= kMaxPicturePixels)
        return {};
    return std::string(what) + " is too large: " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels (a picture may have at most " +
           std::to_string(kMaxPictureSide) + " pixels a side and " +
           std::to_string(kMaxPicturePixels / (1024 * 1024)) + " megapixels)";
}

void CheckPictureSize(const char* what, int64_t width, int64_t height) {
    if (std::string problem = PictureSizeProblem(what, width, height); !problem.empty())
        throw EInvalidGraphic(problem);
}

namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kLargestHeader = 124;

bool DepthFits(int bits, uint32_t compression) {
    switch (compression) {
    case kRgb:
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case kRle8:
        return bits == 8;
    case kRle4:
        return bits == 4;
    case kBitFields:
        return bits == 16 || bits == 32;
    default:
        return false;
    }
}

} // namespace

std::optional<TDibLayout> ReadDibHeader(const unsigned char* data, int64_t available,
                                        int paletteEntryBytes) {
    if (available < 4)
        return std::nullopt;
    const uint32_t headerSize = LoadU32(data);
    TDibLayout dib;
    int planes = 0;
    uint32_t coloursUsed = 0;
    uint32_t declaredBytes = 0;
    if (headerSize == kCoreHeader && available >= kCoreHeader) {
        dib.Width = LoadU16(data + 4);
        dib.Height = LoadU16(data + 6);
        planes = LoadU16(data + 8);
        dib.BitCount = LoadU16(data + 10);
        if (paletteEntryBytes == 4)
            paletteEntryBytes = 3; // the old header's table holds RGB triples
    } else if (headerSize >= kInfoHeader && headerSize <= kLargestHeader &&
               available >= headerSize) {
        dib.Width = LoadS32(data + 4);
        dib.Height = std::abs(static_cast<int64_t>(LoadS32(data + 8))); // negative: top-down
        planes = LoadU16(data + 12);
        dib.BitCount = LoadU16(data + 14);
        dib.Compression = LoadU32(data + 16);
        declaredBytes = LoadU32(data + 20);
        coloursUsed = LoadU32(data + 32);
    } else {
        return std::nullopt;
    }
    if (dib.Width <= 0 || dib.Height <= 0 || planes != 1 ||
        !DepthFits(dib.BitCount, dib.Compression))
        return std::nullopt;

    int64_t entries = coloursUsed;
    if (dib.BitCount <= 8) {
        const int64_t most = int64_t{1} << dib.BitCount;
        if (entries > most)
            return std::nullopt;
        if (entries == 0)
            entries = most;
    } else if (entries > 65536) {
        return std::nullopt;
    }
    const int64_t masks = dib.Compression == kBitFields && headerSize == kInfoHeader ? 12 : 0;
    dib.HeaderBytes = headerSize + masks + entries * paletteEntryBytes;

    if (dib.Compressed()) {
        dib.PixelBytes = declaredBytes;
    } else if (dib.Width > kMaxPictureSide * 64 || dib.Height > kMaxPictureSide * 64) {
        // Too large for any bound the callers apply; keep the product from overflowing.
        dib.PixelBytes = INT64_MAX;
    } else {
        const int64_t stride = (dib.Width * dib.BitCount + 31) / 32 * 4;
        dib.PixelBytes = stride * dib.Height;
    }
    return dib;
}

bool RleStreamSound(const unsigned char* data, int64_t size, const TDibLayout& layout) {
    const bool nibbles = layout.Compression == kRle4;
    int64_t y = 0;
    int64_t at = 0;
    while (at + 2 <= size) {
        const int count = data[at];
        const int code = data[at + 1];
        at += 2;
        if (count > 0 || code >= 3) {
            // A run, or a literal block of code pixels padded to a whole word.
            if (y >= layout.Height)
                return false;
            if (count == 0) {
                const int64_t bytes = nibbles ? (code + 1) / 2 : code;
                at += (bytes + 1) / 2 * 2;
                if (at > size)
                    return false;
            }
        } else if (code == 0) {
            ++y;
        } else if (code == 1) {
            return true;
        } else {
            if (at + 2 > size)
                return false;
            y += data[at + 1];
            at += 2;
        }
    }
    // No end mark: sound only if every row was reached.
    return y >= layout.Height;
}
