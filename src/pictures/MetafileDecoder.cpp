// SPDX-License-Identifier: MIT
#include "pictures/MetafileDecoder.h"

#include "pictures/InvalidGraphic.h"
#include "pictures/PictureLimits.h"

#include <cstdint>
#include <cstring>
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <vector>

namespace {

// Metafile coordinates become pixels at the desktop's usual 96 dots per inch.
constexpr double kScreenDpi = 96.0;

uint32_t ReadU32(const QByteArray& data, qsizetype at) {
    return LoadU32(reinterpret_cast<const unsigned char*>(data.constData()) + at);
}

const unsigned char* Bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

// A bitmap carried inside a metafile record: its header, colour table and pixels must lie
// inside the record, and its size must pass the bounds of any picture. The libraries allocate
// and walk what these headers claim, and a damaged one can keep them busy for good.
bool EmbeddedDibSound(const unsigned char* record, int64_t recordBytes, int64_t headerAt,
                      int64_t headerBytes, int64_t bitsAt, int64_t bitsBytes,
                      int paletteEntryBytes) {
    if (headerAt < 0 || headerBytes < 0 || bitsAt < 0 || bitsBytes < 0 || headerAt > recordBytes ||
        headerBytes > recordBytes - headerAt || bitsAt > recordBytes ||
        bitsBytes > recordBytes - bitsAt)
        return false;
    const auto dib = ReadDibHeader(record + headerAt, headerBytes, paletteEntryBytes);
    if (!dib || !PictureSizeProblem("", dib->Width, dib->Height).empty() ||
        dib->HeaderBytes > headerBytes)
        return false;
    if (!dib->Compressed())
        return dib->PixelBytes <= bitsBytes;
    return (dib->PixelBytes == 0 || dib->PixelBytes <= bitsBytes) &&
           RleStreamSound(record + bitsAt, bitsBytes, *dib);
}

// The EMF records that carry bitmaps, with where each keeps the offsets and lengths of its
// bitmap header and pixels; a second set is the mask of the records that have one.
struct TEmfBitmapFields {
    uint32_t type;
    int64_t fields[2];
};
constexpr TEmfBitmapFields kEmfBitmapRecords[] = {
    {76, {84, 0}},   // BitBlt
    {77, {84, 0}},   // StretchBlt
    {78, {84, 112}}, // MaskBlt
    {79, {96, 124}}, // PlgBlt
    {80, {48, 0}},   // SetDIBitsToDevice
    {81, {48, 0}},   // StretchDIBits
    {93, {16, 0}},   // CreateMonoBrush
    {94, {16, 0}},   // CreateDIBPatternBrushPt
    {114, {84, 0}},  // AlphaBlend
    {116, {84, 0}},  // TransparentBlt
};

bool EmfBitmapsSound(const unsigned char* record, int64_t size, uint32_t type) {
    for (const TEmfBitmapFields& known : kEmfBitmapRecords) {
        if (known.type != type)
            continue;
        for (const int64_t at : known.fields) {
            if (at == 0)
                continue;
            if (at + 16 > size)
                return false;
            const int64_t headerAt = LoadU32(record + at);
            const int64_t headerBytes = LoadU32(record + at + 4);
            // A record without a source bitmap (a plain fill) has no header.
            if (headerBytes == 0)
                continue;
            if (!EmbeddedDibSound(record, size, headerAt, headerBytes, LoadU32(record + at + 8),
                                  LoadU32(record + at + 12), 4))
                return false;
        }
    }
    return true;
}

// libemf2svg trusts the sizes written in the file, so the record chain is checked first:
// a header record with the EMF signature and a sane picture size, then records that each lie
// inside the data, whose bitmaps are sound, ending with the end-of-file record.
bool EmfRecordsSound(const QByteArray& data) {
    constexpr uint32_t kHeaderRecord = 1;
    constexpr uint32_t kEofRecord = 14;
    constexpr uint32_t kSignature = 0x464D4520; // " EMF"
    constexpr qsizetype kMinHeader = 88;
    const unsigned char* p = Bytes(data);
    if (data.size() < kMinHeader || LoadU32(p) != kHeaderRecord || LoadU32(p + 40) != kSignature)
        return false;
    qsizetype at = 0;
    while (at + 8 <= data.size()) {
        const uint32_t type = LoadU32(p + at);
        const uint32_t size = LoadU32(p + at + 4);
        if (size < 8 || size % 4 != 0 || size > static_cast<uint64_t>(data.size() - at))
            return false;
        if (at == 0 && size < kMinHeader)
            return false;
        if (type == kEofRecord)
            return true;
        if (!EmfBitmapsSound(p + at, size, type))
            return false;
        at += size;
    }
    return false;
}

// The header's description text and pixel format play no part in the drawing, but libemf2svg
// reads them wherever their offsets point, as far as their lengths say, or to the first NUL.
// The copy handed to it has neither.
void ForgetEmfHeaderExtras(QByteArray& copy) {
    const auto zero = [&](qsizetype at) {
        if (at + 4 <= LoadU32(Bytes(copy) + 4))
            std::memset(copy.data() + at, 0, 4);
    };
    zero(60); // description length
    zero(64); // and offset
    zero(88); // pixel format length
    zero(92); // and offset
}

// The bounds in the EMF header are the picture's size in pixels.
void CheckEmfBounds(const QByteArray& data) {
    const unsigned char* p = Bytes(data);
    const int64_t width = int64_t{LoadS32(p + 16)} - LoadS32(p + 8);
    const int64_t height = int64_t{LoadS32(p + 20)} - LoadS32(p + 12);
    CheckPictureSize("Metafile", width, height);
}

// A bitmap that fills the rest of a WMF record from dibAt: header, colour table, pixels.
bool WmfDibSound(const unsigned char* record, int64_t bytes, int64_t dibAt, bool paletteIndices) {
    if (dibAt >= bytes)
        return false;
    const auto dib = ReadDibHeader(record + dibAt, bytes - dibAt, paletteIndices ? 2 : 4);
    if (!dib || dib->HeaderBytes > bytes - dibAt)
        return false;
    return EmbeddedDibSound(record, bytes, dibAt, dib->HeaderBytes, dibAt + dib->HeaderBytes,
                            bytes - dibAt - dib->HeaderBytes, paletteIndices ? 2 : 4);
}

// The old device-dependent bitmap some WMF records carry: its rows must lie in the record.
bool WmfBitmap16Sound(const unsigned char* record, int64_t bytes, int64_t at, int64_t bitsAt) {
    if (at + 10 > bytes || bitsAt > bytes)
        return false;
    const int64_t width = static_cast<int16_t>(LoadU16(record + at + 2));
    const int64_t height = static_cast<int16_t>(LoadU16(record + at + 4));
    const int64_t rowBytes = static_cast<int16_t>(LoadU16(record + at + 6));
    const int planes = record[at + 8];
    const int bits = record[at + 9];
    if (width <= 0 || height <= 0 || planes != 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return false;
    return rowBytes * 8 >= width * bits && rowBytes * height <= bytes - bitsAt;
}

bool WmfBitmapSound(const unsigned char* record, int64_t bytes, int function) {
    const int64_t words = bytes / 2;
    // The blits come without a bitmap when they only paint with the brush: then the record
    // is exactly as long as its fixed fields.
    const bool noBitmap = words == (function >> 8) + 3;
    switch (function) {
    case 0x0940: // DIBBitBlt
        return noBitmap || WmfDibSound(record, bytes, 22, false);
    case 0x0B41: // DIBStretchBlt
        return noBitmap || WmfDibSound(record, bytes, 26, false);
    case 0x0F43: // StretchDIB
        return bytes >= 28 && WmfDibSound(record, bytes, 28, LoadU16(record + 10) == 1);
    case 0x0D33: // SetDIBToDev
        return bytes >= 24 && WmfDibSound(record, bytes, 24, LoadU16(record + 6) == 1);
    case 0x0142: // DIBCreatePatternBrush
        return bytes >= 10 && WmfDibSound(record, bytes, 10, LoadU16(record + 8) == 1);
    case 0x0922: // BitBlt
        return noBitmap || WmfBitmap16Sound(record, bytes, 22, 32);
    case 0x0B23: // StretchBlt
        return noBitmap || WmfBitmap16Sound(record, bytes, 26, 36);
    case 0x01F9: // CreatePatternBrush
        return WmfBitmap16Sound(record, bytes, 6, 34);
    default:
        return true;
    }
}

// The WMF record chain, checked before libwmf sees it: a standard header whose sizes agree
// with the data, records that each lie inside it and none longer than the header's largest,
// an end record of three words, and every bitmap a record carries sound.
bool WmfRecordsSound(const QByteArray& data) {
    constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
    constexpr int64_t kPlaceableSize = 22;
    constexpr int64_t kHeaderSize = 18;
    const unsigned char* p = Bytes(data);
    const int64_t size = data.size();
    int64_t at = size >= 4 && LoadU32(p) == kPlaceableKey ? kPlaceableSize : 0;
    if (size < at + kHeaderSize)
        return false;
    const int type = LoadU16(p + at);
    if ((type != 1 && type != 2) || LoadU16(p + at + 2) != kHeaderSize / 2)
        return false;
    const int64_t largest = LoadU32(p + at + 12);
    if (largest < 3 || largest * 2 > size - at)
        return false;
    at += kHeaderSize;
    while (at + 6 <= size) {
        const int64_t words = LoadU32(p + at);
        const int function = LoadU16(p + at + 4);
        if (words < 3 || words > largest || words * 2 > size - at)
            return false;
        // The end record is three words long; libwmf reads on past a longer one, into
        // bytes that were never checked as records.
        if (function == 0)
            return words == 3;
        if (!WmfBitmapSound(p + at, words * 2, function))
            return false;
        at += words * 2;
    }
    return false;
}

// libwmf measures text with the 13 standard PostScript fonts, which a Linux desktop does not
// ship as Type 1 files; their metric twins stand in for them.
struct TFontFile {
    const char* psName;
    const char* file;
};
constexpr TFontFile kFontFiles[] = {
    {"Times-Roman", "LiberationSerif-Regular.ttf"},
    {"Times-Bold", "LiberationSerif-Bold.ttf"},
    {"Times-Italic", "LiberationSerif-Italic.ttf"},
    {"Times-BoldItalic", "LiberationSerif-BoldItalic.ttf"},
    {"Helvetica", "LiberationSans-Regular.ttf"},
    {"Helvetica-Bold", "LiberationSans-Bold.ttf"},
    {"Helvetica-Oblique", "LiberationSans-Italic.ttf"},
    {"Helvetica-BoldOblique", "LiberationSans-BoldItalic.ttf"},
    {"Courier", "LiberationMono-Regular.ttf"},
    {"Courier-Bold", "LiberationMono-Bold.ttf"},
    {"Courier-Oblique", "LiberationMono-Italic.ttf"},
    {"Courier-BoldOblique", "LiberationMono-BoldItalic.ttf"},
    {"Symbol", "DejaVuSans.ttf"},
    {"ZapfDingbats", "DejaVuSans.ttf"},
};
const char* const kFontDirs[] = {"/usr/share/fonts/truetype/liberation",
                                 "/usr/share/fonts/truetype/dejavu"};

// The frame a placeable WMF declares, in libwmf's device units (points from the window
// origin); libwmf itself would frame only what the records draw.
bool PlaceableFrame(const QByteArray& data, wmfD_Rect* frame) {
    constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
    constexpr qsizetype kPlaceableSize = 22;
    constexpr qsizetype kHeaderSize = 18;
    if (data.size() < kPlaceableSize + kHeaderSize || ReadU32(data, 0) != kPlaceableKey)
        return false;
    auto s16 = [&](qsizetype at) {
        return static_cast<int16_t>(static_cast<uint8_t>(data[at]) |
                                    (static_cast<uint8_t>(data[at + 1]) << 8));
    };
    const int inch = static_cast<uint16_t>(s16(14));
    if (inch <= 0)
        return false;
    // The window origin that the drawing records will be measured from.
    int originX = 0;
    int originY = 0;
    constexpr int kSetWindowOrg = 0x020B;
    constexpr int kEof = 0x0000;
    qsizetype at = kPlaceableSize + kHeaderSize;
    while (at + 6 <= data.size()) {
        const uint64_t words = ReadU32(data, at);
        const int function = static_cast<uint16_t>(s16(at + 4));
        if (words < 3 || words * 2 > static_cast<uint64_t>(data.size() - at) || function == kEof)
            break;
        if (function == kSetWindowOrg && words >= 5) {
            originY = s16(at + 6);
            originX = s16(at + 8);
            break;
        }
        at += static_cast<qsizetype>(words * 2);
    }
    const double scale = 72.0 / inch;
    frame->TL.x = static_cast<float>((s16(6) - originX) * scale);
    frame->TL.y = static_cast<float>((s16(8) - originY) * scale);
    frame->BR.x = static_cast<float>((s16(10) - originX) * scale);
    frame->BR.y = static_cast<float>((s16(12) - originY) * scale);
    return frame->BR.x > frame->TL.x && frame->BR.y > frame->TL.y;
}

// Owns a libwmf session, so that every way out of WmfToSvg ends it.
class TWmfSession {
public:
    TWmfSession() {
        wmfAPI_Options options;
        std::memset(&options, 0, sizeof options);
        options.function = wmf_svg_function;
        // libwmf only reads these tables; its interface just lacks the consts.
        for (const TFontFile& font : kFontFiles)
            fFontMap.push_back(
                {const_cast<char*>(font.psName), const_cast<char*>(font.file), FT_ENCODING_NONE});
        fFontMap.push_back({nullptr, nullptr, FT_ENCODING_NONE});
        for (const char* dir : kFontDirs)
            fFontDirs.push_back(const_cast<char*>(dir));
        fFontDirs.push_back(nullptr);
        options.fontdirs = fFontDirs.data();
        options.font.ps = fFontMap.data();
        const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_FONTDIRS | WMF_OPT_FONTMAP |
                                    WMF_OPT_SYS_FONTS | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR |
                                    WMF_OPT_NO_DEBUG;
        if (wmf_api_create(&fApi, flags, &options) != wmf_E_None) {
            if (fApi != nullptr)
                wmf_api_destroy(fApi);
            fApi = nullptr;
        }
    }
    ~TWmfSession() {
        if (fApi == nullptr)
            return;
        if (fOpen)
            wmf_mem_close(fApi);
        wmf_api_destroy(fApi);
    }
    TWmfSession(const TWmfSession&) = delete;
    TWmfSession& operator=(const TWmfSession&) = delete;

    [[nodiscard]] wmfAPI* Api() const { return fApi; }
    void MarkOpen() { fOpen = true; }

private:
    wmfAPI* fApi = nullptr;
    bool fOpen = false;
    std::vector<wmfMapping> fFontMap;
    std::vector<char*> fFontDirs;
};

[[noreturn]] void Damaged(const char* what) {
    throw EInvalidGraphic(std::string("Metafile is not valid: ") + what);
}

} // namespace

QByteArray WmfToSvg(const QByteArray& data) {
    if (!WmfRecordsSound(data))
        Damaged("damaged WMF records");
    TWmfSession session;
    wmfAPI* api = session.Api();
    if (api == nullptr)
        throw EInvalidGraphic("Cannot start the WMF reader");

    // libwmf reads from the buffer without changing it; the interface just lacks a const.
    QByteArray copy = data;
    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(copy.data()),
                     static_cast<long>(copy.size())) != wmf_E_None)
        Damaged("cannot read the WMF data");
    session.MarkOpen();

    wmfD_Rect bbox;
    if (wmf_scan(api, 0, &bbox) != wmf_E_None)
        Damaged("damaged WMF records");

    unsigned int width = 0;
    unsigned int height = 0;
    if (wmf_display_size(api, &width, &height, kScreenDpi, kScreenDpi) != wmf_E_None ||
        width == 0 || height == 0)
        Damaged("WMF picture has no size");
    CheckPictureSize("Metafile", width, height);

    wmf_svg_t* svg = WMF_SVG_GetData(api);
    svg->out = wmf_stream_create(api, nullptr);
    if (svg->out == nullptr)
        throw EInvalidGraphic("Cannot start the WMF reader");
    svg->Description = nullptr;
    wmfD_Rect frame;
    svg->bbox = PlaceableFrame(data, &frame) ? frame : bbox;
    svg->width = width;
    svg->height = height;

    const wmf_error_t played = wmf_play(api, 0, &bbox);
    char* text = nullptr;
    unsigned long length = 0;
    wmf_stream_destroy(api, svg->out, &text, &length);
    svg->out = nullptr;
    if (played != wmf_E_None || text == nullptr)
        Damaged("damaged WMF records");
    // The text belongs to the session's allocator, so it is copied before the session ends.
    return QByteArray(text, static_cast<qsizetype>(length));
}

QByteArray EmfToSvg(const QByteArray& data) {
    if (!EmfRecordsSound(data))
        Damaged("damaged EMF records");
    CheckEmfBounds(data);

    QByteArray copy = data;
    ForgetEmfHeaderExtras(copy);
    char nameSpace[] = "";
    generatorOptions options;
    std::memset(&options, 0, sizeof options);
    options.nameSpace = nameSpace;
    options.svgDelimiter = true;
    options.emfplus = true;

    char* text = nullptr;
    size_t length = 0;
    const int ok = emf2svg(copy.data(), static_cast<size_t>(copy.size()), &text, &length, &options);
    QByteArray svg =
        text != nullptr ? QByteArray(text, static_cast<qsizetype>(length)) : QByteArray();
    std::free(text);
    if (ok == 0 || svg.isEmpty())
        Damaged("cannot play the EMF records");
    return svg;
}
