// SPDX-License-Identifier: MIT
// The picture holder: every kind loads from a real file with its natural size, failures
// carry their texts and leave the holder alone, and change notifications follow content.
#include "pictures/Picture.h"
#include "pictures/JpegDecoder.h"
#include "support/Metafiles.h"

#include <QDataStream>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testpictures {

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

QString Save(const QTemporaryDir& dir, const QString& name, const QImage& image,
             const char* format) {
    const QString path = dir.filePath(name);
    if (!image.save(path, format, 100))
        ADD_FAILURE() << "cannot save " << path.toStdString();
    return path;
}

QImage Solid(int w, int h, QColor color, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(color);
    return image;
}

} // namespace testpictures

using namespace testpictures;

namespace {

std::string LoadError(TPicture& picture, const QString& path) {
    try {
        picture.LoadFromFile(path);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

QImage Render(const TPicture& picture, int w, int h, bool stretch) {
    QImage canvas = Solid(w, h, Qt::blue);
    QPainter painter(&canvas);
    if (stretch)
        picture.StretchDraw(painter, QRect(0, 0, w, h));
    else
        picture.Draw(painter, 0, 0);
    return canvas;
}

TEST(PictureTest, EveryKindLoadsWithItsNaturalSize) {
    QTemporaryDir dir;
    struct Case {
        QString path;
        TPictureKind kind;
        int w, h;
    };
    const Case cases[] = {
        {Save(dir, "a.bmp", Solid(7, 5, Qt::green), "bmp"), TPictureKind::pkBitmap, 7, 5},
        {Save(dir, "b.BMP", Solid(3, 9, Qt::green), "bmp"), TPictureKind::pkBitmap, 3, 9},
        {Save(dir, "c.ico", Solid(16, 16, Qt::green, QImage::Format_ARGB32), "ico"),
         TPictureKind::pkIcon, 16, 16},
        {Save(dir, "d.jpg", Solid(9, 6, Qt::green), "jpg"), TPictureKind::pkJpeg, 9, 6},
        {Save(dir, "e.JpEg", Solid(17, 3, Qt::green), "jpg"), TPictureKind::pkJpeg, 17, 3},
        {Write(dir, "f.wmf", MakeWmf()), TPictureKind::pkMetafile, 64, 32},
        {Write(dir, "g.EMF", MakeEmf()), TPictureKind::pkMetafile, 64, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        TPicture picture;
        ASSERT_NO_THROW(picture.LoadFromFile(c.path));
        EXPECT_EQ(picture.Kind(), c.kind);
        EXPECT_EQ(picture.Width(), c.w);
        EXPECT_EQ(picture.Height(), c.h);
        EXPECT_EQ(TPicture::FromFile(c.path).Kind(), c.kind);
    }
}

TEST(PictureTest, JpegDecodesToFullColour) {
    QTemporaryDir dir;
    QImage source = Solid(16, 8, QColor(200, 40, 90));
    const TPicture picture = TPicture::FromFile(Save(dir, "p.jpg", source, "jpg"));
    const QColor seen = Render(picture, 16, 8, false).pixelColor(5, 5);
    EXPECT_NEAR(seen.red(), 200, 4);
    EXPECT_NEAR(seen.green(), 40, 4);
    EXPECT_NEAR(seen.blue(), 90, 4);

    // A palette display gets at most 236 colours.
    QImage gradient(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            gradient.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
    QFile file(Save(dir, "g.jpg", gradient, "jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QImage indexed = DecodeJpeg(file.readAll(), true);
    EXPECT_EQ(indexed.format(), QImage::Format_Indexed8);
    EXPECT_LE(indexed.colorCount(), 236);
    EXPECT_GT(indexed.colorCount(), 16);
    EXPECT_EQ(indexed.size(), QSize(64, 64));
}

TEST(PictureTest, MetafilesDrawOnATransparentBackground) {
    QTemporaryDir dir;
    for (const QString& path : {Write(dir, "m.wmf", MakeWmf()), Write(dir, "m.emf", MakeEmf())}) {
        SCOPED_TRACE(path.toStdString());
        const TPicture picture = TPicture::FromFile(path);
        const QImage natural = Render(picture, 64, 32, false);
        EXPECT_EQ(natural.pixelColor(2, 2), QColor(Qt::blue)); // outside the rectangle
        EXPECT_EQ(natural.pixelColor(32, 16), QColor(Qt::red));
        // Stretched to twice the size, the rectangle's middle moves with it.
        const QImage stretched = Render(picture, 128, 64, true);
        EXPECT_EQ(stretched.pixelColor(64, 32), QColor(Qt::red));
        EXPECT_EQ(stretched.pixelColor(20, 8), QColor(Qt::blue));
    }
}

TEST(PictureTest, FailedLoadsSayWhyAndChangeNothing) {
    QTemporaryDir dir;
    TPicture picture;
    picture.LoadFromFile(Save(dir, "keep.bmp", Solid(4, 2, Qt::red), "bmp"));
    int notified = 0;
    picture.Subscribe([&] { ++notified; });

    const QString missing = dir.filePath("missing.bmp");
    const QString garbage = "this is not a picture of any kind, only text";
    const std::pair<QString, std::string> cases[] = {
        {dir.filePath("x.png"), "Unknown picture file extension (.png)"},
        {dir.filePath("noext"), "Unknown picture file extension (.)"},
        {missing, "Cannot open file " + missing.toStdString()},
        {dir.path(), "Unknown picture file extension (.)"},
        {Write(dir, "bad.bmp", "BM" + garbage.toLatin1()), "Bitmap image is not valid"},
        {Write(dir, "bad.ico", garbage.toLatin1()), "Icon image is not valid"},
    };
    for (const auto& [path, message] : cases)
        EXPECT_EQ(LoadError(picture, path), message) << path.toStdString();

    // The damaged JPEG is cut inside its header; the metafiles are cut inside a record.
    QTemporaryDir scratch;
    const QByteArray jpeg = [&] {
        QFile f(Save(scratch, "s.jpg", Solid(8, 8, Qt::red), "jpg"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const std::pair<QString, std::string> damaged[] = {
        {Write(dir, "bad.jpg", jpeg.left(30)), "JPEG image is not valid"},
        {Write(dir, "bad2.jpeg", garbage.toLatin1()), "JPEG image is not valid"},
        {Write(dir, "bad.wmf", MakeWmf().left(50)), "Metafile is not valid"},
        {Write(dir, "bad.emf", MakeEmf().left(100)), "Metafile is not valid"},
        {Write(dir, "bad2.emf", garbage.toLatin1()), "Metafile is not valid"},
    };
    for (const auto& [path, start] : damaged)
        EXPECT_EQ(LoadError(picture, path).rfind(start, 0), 0u)
            << path.toStdString() << ": " << LoadError(picture, path);

    EXPECT_EQ(notified, 0);
    EXPECT_EQ(picture.Kind(), TPictureKind::pkBitmap);
    EXPECT_EQ(picture.Width(), 4);
    EXPECT_THROW(CheckPictureFile(missing), EInvalidGraphic);
}

TEST(PictureTest, AssignCopiesTheGraphicAndNotifiesOnlyItsOwnListeners) {
    QTemporaryDir dir;
    TPicture source;
    int sourceNotified = 0;
    source.Subscribe([&] { ++sourceNotified; });
    source.LoadFromFile(Save(dir, "s.bmp", Solid(5, 3, Qt::red), "bmp"));
    EXPECT_EQ(sourceNotified, 1);

    TPicture copy;
    int copyNotified = 0;
    const auto id = copy.Subscribe([&] { ++copyNotified; });
    copy.Assign(source);
    EXPECT_EQ(copyNotified, 1);
    EXPECT_EQ(copy.Width(), 5);

    // The copy keeps its graphic when the source changes, and a copied holder keeps no
    // listeners of the holder it came from.
    source.Clear();
    EXPECT_TRUE(source.Empty());
    EXPECT_EQ(copy.Kind(), TPictureKind::pkBitmap);
    TPicture second(copy);
    second.Clear();
    EXPECT_EQ(copyNotified, 1);

    copy.Unsubscribe(id);
    copy.Assign(source);
    EXPECT_EQ(copyNotified, 1);
    EXPECT_TRUE(copy.Empty());
}

} // namespace
