// SPDX-License-Identifier: MIT
#include "judge/MagicKinds.h"

#include <array>
#include <magic.h>
#include <zlib.h>

namespace {

// A zlib header is two bytes, which one random sample in a thousand carries; a real stream
// inflates, random bytes fail within a few hundred.
bool Inflates(std::span<const uint8_t> bytes) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    std::array<uint8_t, 16384> out{};
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    int rc = Z_OK;
    while (rc == Z_OK && z.avail_in > 0) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_BUF_ERROR && z.avail_out > 0)
            break;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END || ((rc == Z_OK || rc == Z_BUF_ERROR) && z.avail_in == 0);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

} // namespace

bool IsNoisyMimeType(std::string_view mime) {
    static constexpr std::array<std::string_view, 6> Families{
        "video/",
        "application/vnd.openxmlformats-officedocument.",
        "application/vnd.oasis.opendocument.",
        "application/vnd.ms-",
        "application/x-ms-",
        "application/pgp",
    };
    for (const std::string_view family : Families)
        if (StartsWith(mime, family))
            return true;
    static constexpr std::array<std::string_view, 44> Types{
        "application/gzip",
        "application/x-gzip",
        "application/x-bzip2",
        "application/x-xz",
        "application/zstd",
        "application/x-zstd",
        "application/x-lz4",
        "application/x-lzip",
        "application/x-lzma",
        "application/x-7z-compressed",
        "application/x-rar",
        "application/vnd.rar",
        "application/zip",
        "application/java-archive",
        "application/epub+zip",
        "application/vnd.android.package-archive",
        "application/pdf",
        "application/x-rpm",
        "application/vnd.debian.binary-package",
        "application/x-keepass2",
        "application/x-iso9660-image",
        "application/x-apple-diskimage",
        "application/x-xar",
        "application/msword",
        "application/x-ole-storage",
        "application/CDFV2",
        "application/x-shockwave-flash",
        "application/ogg",
        "application/x-squashfs",
        "application/x-lrzip",
        "image/jpeg",
        "image/png",
        "image/gif",
        "image/webp",
        "image/tiff",
        "image/heic",
        "image/heif",
        "image/avif",
        "image/jp2",
        "audio/flac",
        "audio/ogg",
        "audio/x-wav",
        "font/woff",
        "font/woff2",
    };
    for (const std::string_view type : Types)
        if (mime == type)
            return true;
    return false;
}

const TMagicKinds& TMagicKinds::Shared() {
    static const TMagicKinds kinds;
    return kinds;
}

TMagicKinds::TMagicKinds() {
    // Kinds from the bytes alone: no looking inside compressed data, no text encodings.
    magic_t cookie = magic_open(MAGIC_MIME_TYPE | MAGIC_NO_CHECK_COMPRESS |
                                MAGIC_NO_CHECK_ENCODING | MAGIC_ERROR);
    if (cookie == nullptr)
        return;
    if (magic_load(cookie, nullptr) != 0) {
        magic_close(cookie);
        return;
    }
    Cookie = cookie;
}

TMagicKinds::~TMagicKinds() {
    if (Cookie != nullptr)
        magic_close(static_cast<magic_t>(Cookie));
}

std::string TMagicKinds::MimeType(std::span<const uint8_t> bytes) const {
    if (Cookie == nullptr)
        return {};
    const std::lock_guard<std::mutex> hold(Lock);
    const char* type = magic_buffer(static_cast<magic_t>(Cookie), bytes.data(), bytes.size());
    return type != nullptr ? std::string(type) : std::string();
}

std::string TMagicKinds::NoisyKind(std::span<const uint8_t> bytes) const {
    std::string mime = MimeType(bytes);
    if (mime == "application/zlib")
        return Inflates(bytes) ? mime : std::string();
    return IsNoisyMimeType(mime) ? mime : std::string();
}
