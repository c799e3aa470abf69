#include "Picture.h"

#include "JpegDecoder.h"
#include "MetafileDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

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

QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw EInvalidGraphic("Cannot open file " + path.toStdString());
    return file.readAll();
}

QImage ReadWithQt(const QByteArray& data, const char* format, const char* invalidMessage) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull())
        throw EInvalidGraphic(invalidMessage);
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
    const QSize size = graphic->svg->defaultSize();
    graphic->width = size.width();
    graphic->height = size.height();
    return graphic;
}

std::shared_ptr<const TGraphic> LoadGraphic(const QString& path) {
    // The kind comes from the extension alone, before the file is touched.
    const QString ext = QFileInfo(path).suffix();
    const QString lower = ext.toLower();
    enum { Bmp, Ico, Wmf, Emf, Jpeg } kind;
    if (lower == "bmp")
        kind = Bmp;
    else if (lower == "ico")
        kind = Ico;
    else if (lower == "wmf")
        kind = Wmf;
    else if (lower == "emf")
        kind = Emf;
    else if (lower == "jpg" || lower == "jpeg")
        kind = Jpeg;
    else
        throw EInvalidGraphic("Unknown picture file extension (." + ext.toStdString() + ")");

    const QByteArray data = ReadWholeFile(path);
    switch (kind) {
    case Bmp:
        return RasterGraphic(TPictureKind::pkBitmap,
                             ReadWithQt(data, "bmp", "Bitmap image is not valid"));
    case Ico:
        return RasterGraphic(TPictureKind::pkIcon,
                             ReadWithQt(data, "ico", "Icon image is not valid")
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    case Wmf:
        return MetafileGraphic(WmfToSvg(data));
    case Emf:
        return MetafileGraphic(EmfToSvg(data));
    case Jpeg:
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
    SetGraphic(LoadGraphic(path));
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
