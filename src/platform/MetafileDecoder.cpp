#include "MetafileDecoder.h"

#include "Picture.h"

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
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(data[at + i]);
    return v;
}

// libemf2svg trusts the sizes written in the file, so the record chain is checked first:
// a header record with the EMF signature, then records that each lie inside the data and
// end with the end-of-file record.
bool EmfRecordsSound(const QByteArray& data) {
    constexpr uint32_t kHeaderRecord = 1;
    constexpr uint32_t kEofRecord = 14;
    constexpr uint32_t kSignature = 0x464D4520; // " EMF"
    constexpr qsizetype kMinHeader = 88;
    if (data.size() < kMinHeader || ReadU32(data, 0) != kHeaderRecord ||
        ReadU32(data, 40) != kSignature)
        return false;
    qsizetype at = 0;
    while (at + 8 <= data.size()) {
        const uint32_t type = ReadU32(data, at);
        const uint32_t size = ReadU32(data, at + 4);
        if (size < 8 || size % 4 != 0 || size > static_cast<uint64_t>(data.size() - at))
            return false;
        if (at == 0 && size < kMinHeader)
            return false;
        if (type == kEofRecord)
            return true;
        at += size;
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

    QByteArray copy = data;
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
