// SPDX-License-Identifier: MIT
#include "pictures/JpegDecoder.h"

#include "pictures/InvalidGraphic.h"
#include "pictures/PictureLimits.h"

#include <QGuiApplication>
#include <QScreen>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <new>
#include <vector>

namespace {

constexpr int kPaletteColours = 236;

// libjpeg's default error handler calls exit(); ours jumps back to the decoder instead, so
// a damaged picture becomes an error the caller can show.
struct TJpegErrors {
    jpeg_error_mgr pub;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool tooLarge = false; // message holds the whole text then
};

// A progressive file may hold any number of scans, each one a pass over the whole picture,
// so a small file could keep the window busy for minutes. Real encoders write a dozen or so.
constexpr int kMostScans = 256;

void ErrorExit(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<TJpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

void WatchProgress(j_common_ptr cinfo) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number <= kMostScans)
        return;
    auto* errors = reinterpret_cast<TJpegErrors*>(cinfo->err);
    std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMostScans);
    std::longjmp(errors->jump, 1);
}

// Warnings (a file cut short, extraneous bytes) are not fatal: libjpeg fills in what is
// missing and the picture is shown as far as it goes.
void SilentMessage(j_common_ptr) {}

// Everything that must outlive a longjmp lives here, in the caller's frame: the jump may
// only cross frames without destructors.
struct TJpegOutput {
    std::vector<unsigned char> pixels;
    std::vector<QRgb> palette;
    int width = 0;
    int height = 0;
    int components = 0;
    size_t stride = 0;

    bool Allocate(int w, int h, int comps) noexcept {
        try {
            width = w;
            height = h;
            components = comps;
            stride = static_cast<size_t>(w) * static_cast<size_t>(comps);
            pixels.assign(stride * static_cast<size_t>(h), 0);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
};

// Kept out of RunDecoder, whose frame a longjmp may cross: the text is built and freed here.
bool SizeRefused(JDIMENSION width, JDIMENSION height, TJpegErrors* errors) {
    const std::string problem = PictureSizeProblem("JPEG image", width, height);
    if (problem.empty())
        return false;
    std::snprintf(errors->message, sizeof errors->message, "%s", problem.c_str());
    errors->tooLarge = true;
    return true;
}

bool RunDecoder(const unsigned char* data, unsigned long size, bool quantize, TJpegOutput* out,
                TJpegErrors* errors) {
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors->pub);
    errors->pub.error_exit = ErrorExit;
    errors->pub.output_message = SilentMessage;
    errors->message[0] = '\0';
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    cinfo.progress = &errors->progress;
    errors->progress.progress_monitor = WatchProgress;
    jpeg_read_header(&cinfo, TRUE);
    // The header's claim is judged before libjpeg allocates a row, let alone the picture.
    if (SizeRefused(cinfo.image_width, cinfo.image_height, errors)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.out_color_space = JCS_RGB;
    cinfo.do_block_smoothing = TRUE;
    if (quantize) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = kPaletteColours;
    }
    jpeg_start_decompress(&cinfo);

    if (!out->Allocate(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                       cinfo.output_components)) {
        std::strcpy(errors->message, "Out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->pixels.data() + out->stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (quantize && cinfo.colormap != nullptr) {
        out->palette.resize(static_cast<size_t>(cinfo.actual_number_of_colors));
        for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
            const bool grey = cinfo.out_color_components == 1;
            const int r = cinfo.colormap[0][i];
            const int g = grey ? r : cinfo.colormap[1][i];
            const int b = grey ? r : cinfo.colormap[2][i];
            out->palette[static_cast<size_t>(i)] = qRgb(r, g, b);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

bool PaletteDisplay() {
    if (QGuiApplication::instance() == nullptr)
        return false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr && screen->depth() <= 8;
}

QImage DecodeJpeg(const QByteArray& data, bool quantize) {
    TJpegOutput out;
    TJpegErrors errors;
    if (!RunDecoder(reinterpret_cast<const unsigned char*>(data.constData()),
                    static_cast<unsigned long>(data.size()), quantize, &out, &errors))
        throw EInvalidGraphic(errors.tooLarge
                                  ? std::string(errors.message)
                                  : std::string("JPEG image is not valid: ") + errors.message);

    const auto stride = static_cast<qsizetype>(out.stride);
    QImage image;
    if (out.components == 1 && !out.palette.empty()) {
        image = QImage(out.width, out.height, QImage::Format_Indexed8);
        image.setColorTable(QList<QRgb>(out.palette.begin(), out.palette.end()));
    } else if (out.components == 1) {
        image = QImage(out.width, out.height, QImage::Format_Grayscale8);
    } else {
        image = QImage(out.width, out.height, QImage::Format_RGB888);
    }
    if (image.isNull())
        throw EInvalidGraphic("JPEG image is too large");
    for (int y = 0; y < out.height; ++y)
        std::memcpy(image.scanLine(y), out.pixels.data() + stride * y, static_cast<size_t>(stride));
    return image;
}
