// SPDX-License-Identifier: MIT
#include "pictures/Picture.h"

#include "pictures/JpegDecoder.h"
#include "pictures/MetafileDecoder.h"
#include "pictures/PictureLimits.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The graphic itself: raster kinds keep their pixels, metafiles keep the SVG they were
// turned into together with its renderer.
struct TGraphic {
    TPictureKind kind = TPictureKind::pkNone;
    QImage image;
    std::unique_ptr<QSvgRenderer> svg;
    int width = 0;
    int height = 0;
};

namespace {

// The largest file a picture within the size bounds can come in: four bytes a pixel and
// room for headers and tables.
constexpr int64_t kMaxPictureFileBytes = kMaxPicturePixels * 4 + (int64_t{1} << 20);

// Only a regular file of sane length is read. The file is opened without blocking, so that a
// FIFO or a device slipped in under a picture's name cannot stall the window.
QByteArray ReadWholeFile(const QString& path) {
    const auto cannotOpen = [&] {
        return EInvalidGraphic("Cannot open file " + path.toStdString());
    };
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw cannotOpen();
    struct TCloser {
        int fd;
        ~TCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw cannotOpen();
    if (info.st_size > kMaxPictureFileBytes)
        throw EInvalidGraphic("Picture file " + path.toStdString() + " is too large");
    QByteArray data(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t got = ::read(fd, data.data() + done, static_cast<size_t>(data.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw cannotOpen();
        if (got == 0)
            break; // the file shrank while it was read: what is there is judged as it is
        done += got;
    }
    data.truncate(done);
    return data;
}

const unsigned char* Bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

// Qt's bitmap reader allocates what the header claims and accepts a file whose pixels stop
// short, so the header is judged here first: a sane size, and all its pixel rows present.
void CheckBmp(const QByteArray& data) {
    const char* invalid = "Bitmap image is not valid";
    constexpr int64_t kFileHeader = 14;
    if (data.size() < kFileHeader + 4 || data[0] != 'B' || data[1] != 'M')
        throw EInvalidGraphic(invalid);
    const auto dib = ReadDibHeader(Bytes(data) + kFileHeader, data.size() - kFileHeader);
    if (!dib)
        throw EInvalidGraphic(invalid);
    CheckPictureSize("Bitmap image", dib->Width, dib->Height);
    const int64_t pixelsAt = LoadU32(Bytes(data) + 10);
    const int64_t available = data.size() - pixelsAt;
    if (pixelsAt < kFileHeader + LoadU32(Bytes(data) + kFileHeader) || available <= 0)
        throw EInvalidGraphic(invalid);
    const bool whole = dib->Compressed() ? RleStreamSound(Bytes(data) + pixelsAt, available, *dib)
                                         : dib->PixelBytes <= available;
    if (!whole)
        throw EInvalidGraphic(invalid);
}

// Every image an icon file holds is judged, since the reader may pick any of them: each must
// lie inside the file and claim a sane size, whether it is a bitmap or a PNG.
void CheckIco(const QByteArray& data) {
    const char* invalid = "Icon image is not valid";
    const unsigned char* p = Bytes(data);
    const int64_t size = data.size();
    if (size < 6 || LoadU16(p) != 0 || (LoadU16(p + 2) != 1 && LoadU16(p + 2) != 2))
        throw EInvalidGraphic(invalid);
    const int64_t count = LoadU16(p + 4);
    if (count == 0 || 6 + 16 * count > size)
        throw EInvalidGraphic(invalid);
    for (int64_t i = 0; i < count; ++i) {
        const unsigned char* entry = p + 6 + 16 * i;
        const int64_t bytes = LoadU32(entry + 8);
        const int64_t at = LoadU32(entry + 12);
        if (at > size || bytes > size - at)
            throw EInvalidGraphic(invalid);
        const unsigned char* image = p + at;
        static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (bytes >= 24 && std::equal(png, png + 8, image)) {
            const auto be32 = [](const unsigned char* q) {
                return (int64_t{q[0]} << 24) | (q[1] << 16) | (q[2] << 8) | q[3];
            };
            CheckPictureSize("Icon image", be32(image + 16), be32(image + 20));
            continue;
        }
        const auto dib = ReadDibHeader(image, bytes);
        if (!dib)
            throw EInvalidGraphic(invalid);
        // The height counts the colour rows and the transparency mask's rows together.
        CheckPictureSize("Icon image", dib->Width, dib->Height / 2);
    }
}

QImage ReadWithQt(const QByteArray& data, const char* format, const char* invalidMessage,
                  const char* what) {
    // Qt's own bound on one image's memory, as a second line behind the header checks.
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    QImage image;
    if (const QSize claimed = reader.size(); claimed.isValid()) {
        CheckPictureSize(what, claimed.width(), claimed.height());
        // Read into pixels already cleared: a run-length bitmap may skip pixels (to the end of
        // a row, or of the picture), and Qt leaves what it skips as the allocator gave it.
        if (const QImage::Format kind = reader.imageFormat(); kind != QImage::Format_Invalid) {
            image = QImage(claimed, kind);
            image.fill(0);
        }
    }
    if (!reader.read(&image) || image.isNull())
        throw EInvalidGraphic(invalidMessage);
    // A palette file may hold fewer colours than its pixels name (a bitmap of 8 bits a pixel
    // with 7 colours, whose pixels say 255): Qt takes the table as it is and reads past its end
    // when the picture is drawn or converted. The missing colours are black.
    if (image.depth() <= 8 && image.colorCount() < (1 << image.depth())) {
        QList<QRgb> table = image.colorTable();
        table.resize(qsizetype{1} << image.depth(), qRgb(0, 0, 0));
        image.setColorTable(table);
    }
    return image;
}

std::shared_ptr<const TGraphic> RasterGraphic(TPictureKind kind, QImage image) {
    auto graphic = std::make_shared<TGraphic>();
    graphic->kind = kind;
    graphic->width = image.width();
    graphic->height = image.height();
    graphic->image = std::move(image);
    return graphic;
}

std::shared_ptr<const TGraphic> MetafileGraphic(const QByteArray& svgText) {
    auto graphic = std::make_shared<TGraphic>();
    graphic->kind = TPictureKind::pkMetafile;
    graphic->svg = std::make_unique<QSvgRenderer>(svgText);
    if (!graphic->svg->isValid())
        throw EInvalidGraphic("Metafile is not valid: the picture cannot be drawn");
    // The drawing's own size is what the controls make images of, so it gets the same bound
    // as the pixels of a bitmap, whatever the metafile's header said.
    const QSize size = graphic->svg->defaultSize();
    if (size.isEmpty())
        throw EInvalidGraphic("Metafile is not valid: the picture has no size");
    CheckPictureSize("Metafile", size.width(), size.height());
    graphic->width = size.width();
    graphic->height = size.height();
    return graphic;
}

enum class TFileKind { Bmp, Ico, Wmf, Emf, Jpeg };

TFileKind KindOf(const QString& ext) {
    const QString lower = ext.toLower();
    TFileKind kind;
    if (lower == "bmp")
        kind = TFileKind::Bmp;
    else if (lower == "ico")
        kind = TFileKind::Ico;
    else if (lower == "wmf")
        kind = TFileKind::Wmf;
    else if (lower == "emf")
        kind = TFileKind::Emf;
    else if (lower == "jpg" || lower == "jpeg")
        kind = TFileKind::Jpeg;
    else
        throw EInvalidGraphic("Unknown picture file extension (." + ext.toStdString() + ")");
    return kind;
}

std::shared_ptr<const TGraphic> DecodeGraphic(TFileKind kind, const QByteArray& data) {
    switch (kind) {
    case TFileKind::Bmp:
        CheckBmp(data);
        return RasterGraphic(TPictureKind::pkBitmap,
                             ReadWithQt(data, "bmp", "Bitmap image is not valid", "Bitmap image"));
    case TFileKind::Ico:
        CheckIco(data);
        return RasterGraphic(TPictureKind::pkIcon,
                             ReadWithQt(data, "ico", "Icon image is not valid", "Icon image")
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    case TFileKind::Wmf:
        return MetafileGraphic(WmfToSvg(data));
    case TFileKind::Emf:
        return MetafileGraphic(EmfToSvg(data));
    case TFileKind::Jpeg:
        return RasterGraphic(TPictureKind::pkJpeg, DecodeJpeg(data, PaletteDisplay()));
    }
    return {};
}

} // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TPicture::TPicture(const TPicture& other) : fGraphic(other.fGraphic) {}

TPicture& TPicture::operator=(const TPicture& other) {
    Assign(other);
    return *this;
}

TPicture TPicture::FromFile(const QString& path) {
    TPicture picture;
    picture.LoadFromFile(path);
    return picture;
}

TPictureKind TPicture::Kind() const {
    return fGraphic ? fGraphic->kind : TPictureKind::pkNone;
}
int TPicture::Width() const {
    return fGraphic ? fGraphic->width : 0;
}
int TPicture::Height() const {
    return fGraphic ? fGraphic->height : 0;
}

// A graphic never changes once loaded, so sharing it is as good as copying it.
void TPicture::Assign(const TPicture& source) {
    SetGraphic(source.fGraphic);
}

void TPicture::LoadFromFile(const QString& path) {
    // The kind comes from the extension alone, before the file is touched.
    const TFileKind kind = KindOf(QFileInfo(path).suffix());
    SetGraphic(DecodeGraphic(kind, ReadWholeFile(path)));
}

void TPicture::LoadFromData(const QByteArray& data, const QString& extension) {
    SetGraphic(DecodeGraphic(KindOf(extension), data));
}

void TPicture::Clear() {
    SetGraphic(nullptr);
}

void TPicture::SetGraphic(std::shared_ptr<const TGraphic> graphic) {
    fGraphic = std::move(graphic);
    Changed();
}

void TPicture::Changed() {
    // A listener may subscribe or unsubscribe while being told, so tell a snapshot.
    const auto subscribers = fSubscribers;
    for (const auto& [id, onChange] : subscribers)
        if (onChange)
            onChange();
}

TPicture::TSubscription TPicture::Subscribe(std::function<void()> onChange) {
    const TSubscription id = fNextId++;
    fSubscribers.emplace_back(id, std::move(onChange));
    return id;
}

void TPicture::Unsubscribe(TSubscription id) {
    std::erase_if(fSubscribers, [id](const auto& entry) { return entry.first == id; });
}

void TPicture::Draw(QPainter& painter, int x, int y) const {
    if (!fGraphic)
        return;
    if (fGraphic->svg)
        fGraphic->svg->render(&painter, QRectF(x, y, fGraphic->width, fGraphic->height));
    else
        painter.drawImage(x, y, fGraphic->image);
}

void TPicture::StretchDraw(QPainter& painter, const QRect& rect) const {
    if (!fGraphic)
        return;
    if (fGraphic->kind == TPictureKind::pkIcon)
        painter.drawImage(rect.topLeft(), fGraphic->image);
    else if (fGraphic->svg)
        fGraphic->svg->render(&painter, QRectF(rect));
    else
        painter.drawImage(rect, fGraphic->image);
}

void CheckPictureFile(const QString& path) {
    (void)TPicture::FromFile(path);
}
