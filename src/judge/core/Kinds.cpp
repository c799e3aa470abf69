// SPDX-License-Identifier: MIT
#include "judge/core/Kinds.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>

namespace {

using TBytes = std::span<const uint8_t>;
using namespace std::string_view_literals;

bool StartsWith(TBytes b, std::string_view mark, std::size_t at = 0) {
    if (b.size() < at + mark.size())
        return false;
    return std::equal(mark.begin(), mark.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                      [](char m, uint8_t x) { return static_cast<uint8_t>(m) == x; });
}

uint32_t Le32(TBytes b, std::size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// ---- structures checked beyond a mark ------------------------------------------------------

// MPEG audio (MP3 and its layers) has no file header, only frames: an 11-bit sync, fields
// that must not take their reserved values, and a length from which the next frame's sync
// follows. Three frames in a row at the right places happen by chance about once in 10^10.
std::size_t MpegFrameLength(TBytes b, std::size_t at) {
    if (b.size() < at + 4 || b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0)
        return 0;
    const int version = (b[at + 1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = (b[at + 1] >> 1) & 3;   // 1: III, 2: II, 3: I
    const int bitrateIndex = b[at + 2] >> 4;
    const int rateIndex = (b[at + 2] >> 2) & 3;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    static constexpr int Bitrates[2][3][16] = {
        // MPEG 1: layer I, II, III
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        // MPEG 2 and 2.5
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    static constexpr int Rates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int layerIndex = 3 - layer; // 0: I, 1: II, 2: III
    const int bitrate = Bitrates[mpeg1 ? 0 : 1][layerIndex][bitrateIndex] * 1000;
    const int rate = Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int padding = (b[at + 2] >> 1) & 1;
    if (layerIndex == 0)
        return static_cast<std::size_t>((12 * bitrate / rate + padding) * 4);
    const int perSlot = layerIndex == 2 && !mpeg1 ? 72 : 144;
    return static_cast<std::size_t>(perSlot * bitrate / rate + padding);
}

// AAC in ADTS frames: a 12-bit sync, layer 0, and a 13-bit frame length.
std::size_t AdtsFrameLength(TBytes b, std::size_t at) {
    if (b.size() < at + 7 || b[at] != 0xFF || (b[at + 1] & 0xF6) != 0xF0)
        return 0;
    if (((b[at + 2] >> 2) & 0x0F) > 12) // sampling frequency index
        return 0;
    const std::size_t length = static_cast<std::size_t>(b[at + 3] & 3) << 11 |
                               static_cast<std::size_t>(b[at + 4]) << 3 |
                               static_cast<std::size_t>(b[at + 5] >> 5);
    return length >= 7 ? length : 0;
}

template <typename TLength> bool FrameChain(TBytes b, TLength frameLength) {
    std::size_t at = 0;
    for (int frame = 0; frame < 3; ++frame) {
        const std::size_t length = frameLength(b, at);
        if (length == 0)
            return false;
        at += length;
        // A file of fewer frames than that ends where its last frame does.
        if (at == b.size() && frame > 0)
            return true;
    }
    return true;
}

bool Mpeg(TBytes b) {
    return FrameChain(b, MpegFrameLength);
}

bool Adts(TBytes b) {
    return FrameChain(b, AdtsFrameLength);
}

bool Id3(TBytes b) {
    // "ID3", a major version 2 to 4, a revision below 0xFF, and a size of four 7-bit bytes.
    return StartsWith(b, "ID3") && b.size() >= 10 && b[3] >= 2 && b[3] <= 4 && b[4] != 0xFF &&
           ((b[6] | b[7] | b[8] | b[9]) & 0x80) == 0;
}

// OpenPGP's binary messages (gpg --encrypt, --symmetric, --sign) begin with a session key, a
// signature or a compressed packet, each with a version or algorithm byte in a small range,
// and the next packet's header must follow right after the first one's body.
struct TPacket {
    int Tag = -1;
    std::size_t Body = 0; // where its body starts
    std::size_t End = 0;  // where the next packet starts
};

TPacket PgpPacket(TBytes b, std::size_t at) {
    TPacket p;
    if (b.size() < at + 2 || (b[at] & 0x80) == 0)
        return {};
    std::size_t length = 0;
    if (b[at] & 0x40) { // new format
        p.Tag = b[at] & 0x3F;
        const uint8_t l = b[at + 1];
        if (l < 192) {
            length = l, p.Body = at + 2;
        } else if (l < 224 && b.size() >= at + 3) {
            length = (static_cast<std::size_t>(l - 192) << 8) + b[at + 2] + 192, p.Body = at + 3;
        } else if (l == 255 && b.size() >= at + 6) {
            length = static_cast<std::size_t>(Le32(b, at + 2));
            length = (length & 0xFF) << 24 | (length & 0xFF00) << 8 | (length >> 8 & 0xFF00) |
                     length >> 24;
            p.Body = at + 6;
        } else {
            return {}; // a partial length never opens a message
        }
    } else { // old format
        p.Tag = (b[at] >> 2) & 0x0F;
        const int type = b[at] & 3;
        p.Body = at + 1 + (type == 3 ? 0 : (1u << type));
        if (type != 3 && b.size() < p.Body)
            return {};
        for (std::size_t i = at + 1; i < p.Body; ++i)
            length = length << 8 | b[i];
        if (type == 3) // indeterminate: the rest of the file
            length = b.size() - p.Body;
    }
    p.End = p.Body + length;
    return p;
}

bool OneOf(uint8_t x, std::initializer_list<int> values) {
    return std::find(values.begin(), values.end(), x) != values.end();
}

bool OpenPgp(TBytes b) {
    const TPacket first = PgpPacket(b, 0);
    if (first.Tag < 0 || first.Body + 4 > b.size())
        return false;
    const TBytes body = b.subspan(first.Body);
    const std::size_t length = first.End - first.Body;
    // The fields after the version byte take a few values each: public-key algorithms,
    // symmetric ciphers, hashes, string-to-key types and signature types as gpg writes them.
    const std::initializer_list<int> publicKey{1, 2, 3, 16, 17, 18, 19, 22, 25, 27, 28};
    const std::initializer_list<int> hash{1, 2, 3, 8, 9, 10, 11, 12, 14};
    const std::initializer_list<int> signatureType{0x00, 0x01, 0x02, 0x10, 0x11, 0x12, 0x13,
                                                   0x18, 0x19, 0x1F, 0x20, 0x28, 0x30, 0x40};
    switch (first.Tag) {
    case 1: // public-key session key: version 3, key id, algorithm
        if (body[0] != 3 || length < 12 || body.size() < 10 || !OneOf(body[9], publicKey))
            return false;
        break;
    case 3: // symmetric session key: version 4, cipher, string-to-key type and hash
        if (body[0] != 4 || length < 4 || body[1] < 1 || body[1] > 13 ||
            !OneOf(body[2], {0, 1, 3}) || !OneOf(body[3], hash))
            return false;
        break;
    case 2: // signature: version 4, type, public-key algorithm, hash
        if (body[0] != 4 || !OneOf(body[1], signatureType) || !OneOf(body[2], publicKey) ||
            !OneOf(body[3], hash))
            return false;
        break;
    case 4: // one-pass signature: version 3, type, hash, public-key algorithm
        if (body[0] != 3 || length != 13 || !OneOf(body[1], signatureType) ||
            !OneOf(body[2], hash) || !OneOf(body[3], publicKey))
            return false;
        break;
    case 8: // compressed, as gpg writes it: old format to the end; ZIP, ZLIB or BZip2 data
        if (b[0] != 0xA3)
            return false;
        switch (body[0]) {
        case 1: // a deflate block of a type that exists
            return ((body[1] >> 1) & 3) != 3;
        case 2: // a zlib header with its check bits right
            return (body[1] & 0x0F) == 8 && ((body[1] << 8) | body[2]) % 31 == 0;
        case 3:
            return StartsWith(body.subspan(1), "BZh");
        default:
            return false;
        }
    default:
        return false;
    }
    if (first.End >= b.size())
        return first.End == b.size();
    // Session keys are followed by more keys or the encrypted data (9, 18, 20); signatures by
    // literal or compressed data or more signatures.
    const int next = PgpPacket(b, first.End).Tag;
    return next >= 0 && OneOf(static_cast<uint8_t>(next), {1, 2, 3, 4, 8, 9, 11, 18, 20});
}

bool Pdf(TBytes b) {
    // Readers accept the header anywhere in the first kilobyte.
    const std::size_t n = std::min<std::size_t>(b.size(), 1024);
    for (std::size_t at = 0; at + 5 <= n; ++at)
        if (StartsWith(b, "%PDF-", at))
            return true;
    return false;
}

bool Lzma(TBytes b) {
    // The .lzma header: properties (lc + lp*9 + pb*45 below 225), a dictionary size of 2^n or
    // 2^n + 2^(n-1), and an uncompressed size that is unknown (all ones) or below 2^48.
    if (b.size() < 13 || b[0] >= 225)
        return false;
    const uint32_t dict = Le32(b, 1);
    bool shaped = false;
    for (int n = 12; n <= 30 && !shaped; ++n)
        shaped = dict == (1u << n) || dict == ((1u << n) | (1u << (n - 1)));
    if (!shaped)
        return false;
    const bool unknown =
        std::all_of(b.begin() + 5, b.begin() + 13, [](uint8_t x) { return x == 0xFF; });
    return unknown || (b[11] == 0 && b[12] == 0);
}

bool Gzip(TBytes b) {
    return b.size() >= 10 && b[0] == 0x1F && b[1] == 0x8B && b[2] == 8 && (b[3] & 0xE0) == 0;
}

bool Bzip2(TBytes b) {
    return b.size() >= 10 && StartsWith(b, "BZh") && b[3] >= '1' && b[3] <= '9' &&
           (StartsWith(b, "\x31\x41\x59\x26\x53\x59", 4) ||
            StartsWith(b, "\x17\x72\x45\x38\x50\x90", 4));
}

bool Compress(TBytes b) {
    // compress(1): 1F 9D, then the largest code size (9..16) with no reserved bits set.
    return b.size() >= 3 && b[0] == 0x1F && b[1] == 0x9D && (b[2] & 0x60) == 0 &&
           (b[2] & 0x1F) >= 9 && (b[2] & 0x1F) <= 16;
}

bool IsoMedia(TBytes b) {
    // MP4, MOV, M4A, 3GP, HEIC, AVIF: a box whose type is "ftyp" (QuickTime also "moov",
    // "mdat", "wide", "free"), with a size that fits the box header.
    if (b.size() < 12)
        return false;
    const uint32_t size = static_cast<uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
    const bool boxed = size == 1 || size >= 8;
    return boxed &&
           (StartsWith(b, "ftyp", 4) || StartsWith(b, "moov", 4) || StartsWith(b, "mdat", 4) ||
            StartsWith(b, "wide", 4) || StartsWith(b, "free", 4) || StartsWith(b, "skip", 4));
}

bool Zip(TBytes b) {
    return StartsWith(b, "PK\x03\x04") || StartsWith(b, "PK\x05\x06") ||
           StartsWith(b, "PK\x07\x08") || StartsWith(b, "PK00PK\x03\x04");
}

// A kind is told by a mark at its start, or by a check of its structure where a mark is short.
struct TKind {
    std::string_view Name;
    std::string_view Mark;
    bool (*Matches)(TBytes);     // when Mark is empty
    std::string_view Extensions; // space-separated, lower case
};

// Extensions listed with a kind are those whose files must begin with its header; a file so
// named that does not is judged on weaker evidence. One table, read by one loop: the modules
// carry it, and a table costs them less than a function per mark.
constexpr TKind Kinds[] = {
    {"gzip", {}, Gzip, "gz tgz svgz"},
    {"bzip2", {}, Bzip2, "bz2 tbz2 tbz"},
    {"xz", "\xFD\x37\x7A\x58\x5A\x00"sv, nullptr, "xz txz"},
    {"zstd", "\x28\xB5\x2F\xFD"sv, nullptr, "zst tzst"},
    {"lz4", "\x04\x22\x4D\x18"sv, nullptr, "lz4"},
    {"lzip", "LZIP"sv, nullptr, "lz"},
    {"lzma", {}, Lzma, "lzma"},
    {"compress", {}, Compress, ""},
    {"7z", "\x37\x7A\xBC\xAF\x27\x1C"sv, nullptr, "7z"},
    {"rar", "Rar!\x1A\x07"sv, nullptr, "rar"},
    {"zip", {}, Zip, "zip jar apk docx xlsx pptx odt ods odp odg epub xpi whl kmz 3mf vsix nupkg"},
    {"cab", "MSCF\x00\x00\x00\x00"sv, nullptr, "cab"},
    {"jpeg", "\xFF\xD8\xFF"sv, nullptr, "jpg jpeg jpe jfif"},
    {"png", "\x89PNG\r\n\x1A\n"sv, nullptr, "png apng"},
    {"gif87", "GIF87a"sv, nullptr, ""},
    {"gif", "GIF89a"sv, nullptr, "gif"},
    {"riff", "RIFF"sv, nullptr, "webp wav avi"},
    {"tiff", "II*\x00"sv, nullptr, ""},
    {"tiff", "MM\x00*"sv, nullptr, "tif tiff"},
    {"jpeg2000", "\x00\x00\x00\x0CjP  \r\n\x87\n"sv, nullptr, "jp2"},
    {"jpeg2000", "\xFF\x4F\xFF\x51"sv, nullptr, "j2k j2c"},
    {"jxl", "\x00\x00\x00\x0CJXL \r\n\x87\n"sv, nullptr, ""},
    {"isomedia", {}, IsoMedia, "mp4 m4a m4v mov 3gp heic heif avif"},
    {"matroska", "\x1A\x45\xDF\xA3"sv, nullptr, "mkv mka webm"},
    {"ogg", "OggS\x00"sv, nullptr, "ogg oga ogv opus"},
    {"flac", "fLaC"sv, nullptr, "flac"},
    {"id3", {}, Id3, ""},
    {"mpeg", {}, Mpeg, ""},
    {"adts", {}, Adts, "aac"},
    {"asf", "\x30\x26\xB2\x75\x8E\x66\xCF\x11"sv, nullptr, "wma wmv asf"},
    {"flv", "FLV\x01"sv, nullptr, "flv"},
    {"woff", "wOFF"sv, nullptr, "woff"},
    {"woff2", "wOF2"sv, nullptr, "woff2"},
    {"pdf", {}, Pdf, "pdf ai"},
    {"age", "age-encryption.org/v1\n"sv, nullptr, "age"},
    {"openpgp", {}, OpenPgp, "gpg pgp"},
    {"keepass", "\x03\xD9\xA2\x9A"sv, nullptr, "kdbx kdb"},
    {"luks", "LUKS\xBA\xBE"sv, nullptr, "luks"},
    {"squashfs", "hsqs"sv, nullptr, "squashfs sqsh snap"},
    {"squashfs", "sqsh"sv, nullptr, ""},
    {"ole", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv, nullptr, "doc xls ppt msi msg"},
    {"rpm", "\xED\xAB\xEE\xDB"sv, nullptr, "rpm"},
    {"gitpack", "PACK\x00\x00\x00"sv, nullptr, "pack"},
    {"ar", "!<arch>\n"sv, nullptr, "deb a"},
    {"openssl", "Salted__"sv, nullptr, ""},
    {"swf", "CWS"sv, nullptr, ""},
    {"swf", "ZWS"sv, nullptr, "swf"},
    {"crx", "Cr24"sv, nullptr, "crx"},
    {"xar", "xar!"sv, nullptr, "xar pkg"},
};

std::string LowerExtension(std::string_view fileName) {
    const auto slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == fileName.size())
        return {};
    std::string ext(fileName.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return ext;
}

bool Listed(std::string_view list, std::string_view word) {
    while (!list.empty()) {
        const auto space = list.find(' ');
        if (list.substr(0, space) == word)
            return true;
        if (space == std::string_view::npos)
            break;
        list.remove_prefix(space + 1);
    }
    return false;
}

template <typename F> std::string_view EachKind(F&& f) {
    for (const TKind& k : Kinds)
        if (f(k))
            return k.Name;
    return {};
}

} // namespace

std::string_view KindOf(std::span<const uint8_t> bytes) {
    return EachKind([&](const TKind& k) {
        return k.Mark.empty() ? k.Matches(bytes) : StartsWith(bytes, k.Mark);
    });
}

std::string_view KindNamedBy(std::string_view fileName) {
    const std::string ext = LowerExtension(fileName);
    if (ext.empty())
        return {};
    return EachKind([&](const TKind& k) { return Listed(k.Extensions, ext); });
}

bool NameAnnouncesNoise(std::string_view fileName) {
    // Calyxor's own files, VeraCrypt and TrueCrypt volumes, files other tools encrypted
    // without a header, and brotli, the one common compression without a header of its own.
    static constexpr std::string_view Noise = "ash hc tc vc enc br";
    const std::string ext = LowerExtension(fileName);
    return !ext.empty() && Listed(Noise, ext);
}
