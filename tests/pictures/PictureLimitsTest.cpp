// SPDX-License-Identifier: MIT
// Pictures are input from strangers: sizes beyond what a screen shows are refused before a
// pixel is allocated, damaged bitmaps fail instead of loading half, and metafile records that
// carry damaged bitmaps never reach the libraries that would trust them.
#include "fuzz/PictureChecks.h"
#include "fuzz/PictureSeeds.h"
#include "pictures/Picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

void PutU16(QByteArray& data, qsizetype at, int v) {
    data[at] = static_cast<char>(v & 0xFF);
    data[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void PutU32(QByteArray& data, qsizetype at, uint32_t v) {
    PutU16(data, at, static_cast<int>(v & 0xFFFF));
    PutU16(data, at + 2, static_cast<int>(v >> 16));
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 90));
    return bytes;
}

QImage Solid(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(Qt::red);
    return image;
}

QByteArray Q(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string LoadError(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return "cannot write " + path.toStdString();
    file.close();
    try {
        TPicture picture;
        picture.LoadFromFile(path);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

long PeakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

TEST(PictureLimits, hugeClaimsAreRefusedByEveryFormatBeforeAnythingIsAllocated) {
    QTemporaryDir dir;
    QByteArray jpeg = Encoded(Solid(16, 8), "jpg");
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    jpeg[frame + 5] = jpeg[frame + 7] = '\xEA'; // 60000 x 60000, big-endian
    jpeg[frame + 6] = jpeg[frame + 8] = '\x60';

    QByteArray bmp = Encoded(Solid(16, 8), "bmp");
    PutU32(bmp, 18, 60000);
    PutU32(bmp, 22, 60000);
    QByteArray wide = Encoded(Solid(16, 1), "bmp");
    PutU32(wide, 18, 16385); // a few pixels in all, but one side past any screen

    QByteArray ico = Encoded(Solid(16, 16, QImage::Format_ARGB32), "ico");
    const qsizetype image = 22;
    if (ico.mid(image + 1, 3) == "PNG") {
        PutU32(ico, image + 16, 0x60EA0000); // IHDR is big-endian: 60000
        PutU32(ico, image + 20, 0x60EA0000);
    } else {
        PutU32(ico, image + 4, 60000);
        PutU32(ico, image + 8, 120000); // colour rows and mask rows
    }

    QByteArray wmf = Q(WmfWithBitmap());
    PutU16(wmf, 10, 30000); // a frame of 30000 x 30000 at 96 dpi
    PutU16(wmf, 12, 30000);
    int checksum = 0;
    for (int at = 0; at < 20; at += 2)
        checksum ^= static_cast<uint8_t>(wmf[at]) | (static_cast<uint8_t>(wmf[at + 1]) << 8);
    PutU16(wmf, 20, checksum);
    QByteArray emf = Q(EmfWithBitmap());
    PutU32(emf, 16, 60000); // bounds 60000 x 60000
    PutU32(emf, 20, 60000);

    const std::pair<QString, std::pair<QByteArray, std::string>> cases[] = {
        {"huge.jpg", {jpeg, "JPEG image is too large: 60000 x 60000 pixels"}},
        {"huge.bmp", {bmp, "Bitmap image is too large: 60000 x 60000 pixels"}},
        {"wide.bmp", {wide, "Bitmap image is too large: 16385 x 1 pixels"}},
        {"huge.ico", {ico, "Icon image is too large: 60000 x 60000 pixels"}},
        {"huge.wmf", {wmf, "Metafile is too large"}},
        {"huge.emf", {emf, "Metafile is too large: 60000 x 60000 pixels"}},
    };
    const long before = PeakRssMegabytes();
    for (const auto& [name, c] : cases)
        EXPECT_TRUE(StartsWith(LoadError(dir, name, c.first), c.second))
            << name.toStdString() << ": " << LoadError(dir, name, c.first);
    // The decoders would have wanted gigabytes; the peak stays where it was.
    EXPECT_LT(PeakRssMegabytes() - before, 64);

    // The bound itself is a picture like any other.
    QByteArray edge = Encoded(Solid(16384, 1), "bmp");
    EXPECT_EQ(LoadError(dir, "edge.bmp", edge), "no error");
}

TEST(PictureLimits, aBitmapCutShortAnywhereIsNotValid) {
    QTemporaryDir dir;
    const QByteArray whole = Encoded(Solid(20, 10), "bmp"); // 24 bits: rows of 60 bytes
    ASSERT_EQ(LoadError(dir, "whole.bmp", whole), "no error");
    for (const qsizetype cut : {2, 14, 30, 54, 55, 54 + 60 * 5, int(whole.size()) - 1}) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(LoadError(dir, "cut.bmp", whole.left(cut)), "Bitmap image is not valid");
    }
    // Run-length coded pixels are walked: a stream stopped before its end mark, or one that
    // writes rows below the picture, is as damaged as missing rows.
    const QByteArray rle = Q(RleBmp());
    ASSERT_EQ(LoadError(dir, "rle.bmp", rle), "no error");
    EXPECT_EQ(LoadError(dir, "rle-cut.bmp", rle.left(rle.size() - 4)), "Bitmap image is not valid");
    QByteArray below = rle;
    below.insert(below.size() - 2, QByteArray::fromHex("0000"
                                                       "0401"));
    EXPECT_EQ(LoadError(dir, "rle-below.bmp", below), "Bitmap image is not valid");
}

// Each scan of a progressive JPEG is a pass over the whole picture, so a file of a few
// kilobytes could hold enough of them to keep the window busy for minutes.
TEST(PictureLimits, aJpegWithMoreScansThanAnyEncoderWritesIsRefused) {
    QTemporaryDir dir;
    QImage gradient(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            gradient.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
    QByteArray progressive;
    QBuffer buffer(&progressive);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(gradient));
    ASSERT_EQ(LoadError(dir, "progressive.jpg", progressive), "no error");

    // The last scan runs up to the end-of-image marker; it is repeated 300 times.
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    ASSERT_GT(lastScan, 0);
    const QByteArray scan = progressive.mid(lastScan, progressive.size() - 2 - lastScan);
    QByteArray many = progressive;
    many.insert(progressive.size() - 2, scan.repeated(300));
    EXPECT_EQ(LoadError(dir, "many.jpg", many), "JPEG image is not valid: more than 256 scans");
}

TEST(PictureLimits, metafileRecordsWithDamagedBitmapsAreRefused) {
    QTemporaryDir dir;
    struct TDamage {
        const char* what;
        qsizetype at; // where a 32-bit value is written; a negative one cuts the data there
        uint32_t value;
    };
    const TDamage wmfDamage[] = {
        {"bitmap wider than any screen", kWmfDib + 4, 60000},
        {"more rows than the record holds", kWmfDib + 8, 3},
        {"no such depth", kWmfDib + 12, 0x00070001},
        {"colour table longer than the record", kWmfDib + 32, 300},
        {"header longer than the record", kWmfDib, 200},
        {"header too short to be one (libwmf loops for good)", kWmfDib, 4},
        {"record longer than the header's largest", kWmfMaxRecordAt, 20},
        {"no end record", -6, 0},
    };
    const QByteArray wmf = Q(WmfWithBitmap());
    ASSERT_EQ(LoadError(dir, "good.wmf", wmf), "no error");
    for (const TDamage& d : wmfDamage) {
        QByteArray bad = d.at < 0 ? wmf.left(wmf.size() + d.at) : wmf;
        if (d.at >= 0)
            PutU32(bad, d.at, d.value);
        EXPECT_TRUE(StartsWith(LoadError(dir, "bad.wmf", bad), "Metafile is not valid"))
            << d.what << ": " << LoadError(dir, "bad.wmf", bad);
    }

    const TDamage emfDamage[] = {
        {"bitmap wider than any screen", kEmfBlit + 80 + 4, 60000},
        {"pixels beyond the record", kEmfBlit + 56, 200},
        {"fewer pixel bytes than the rows", kEmfBlit + 60, 8},
        {"header beyond the record", kEmfBlit + 48, 120},
    };
    const QByteArray emf = Q(EmfWithBitmap());
    ASSERT_EQ(LoadError(dir, "good.emf", emf), "no error");
    for (const TDamage& d : emfDamage) {
        QByteArray bad = emf;
        PutU32(bad, d.at, d.value);
        EXPECT_TRUE(StartsWith(LoadError(dir, "bad.emf", bad), "Metafile is not valid"))
            << d.what << ": " << LoadError(dir, "bad.emf", bad);
    }
}

// The checks pass what real EMF files hold: the bitmap is drawn where the record puts it.
// (The WMF converter leaves bitmaps out of its drawing; such a file still loads, above.)
TEST(PictureLimits, aSoundEmfBitmapIsDrawn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("b.emf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Q(EmfWithBitmap()));
    file.close();
    const TPicture picture = TPicture::FromFile(path);
    QImage canvas(64, 32, QImage::Format_RGB32);
    canvas.fill(Qt::blue);
    {
        QPainter painter(&canvas);
        picture.Draw(painter, 0, 0);
    }
    EXPECT_EQ(canvas.pixelColor(32, 16), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(4, 4), QColor(Qt::blue));
}

// A palette bitmap whose pixels name colours its palette does not hold (8 bits a pixel, two
// colours, pixels of 200) is drawn with black for them, never with what lies past the palette
// (which Qt keeps as short as the file has it). Found by the bitmap fuzzer through a
// run-length bitmap whose skipped pixels Qt leaves unset.
TEST(PictureLimits, aBitmapNamingColoursItsPaletteLacks_drawsThemBlack) {
    QByteArray bmp(14 + 40 + 8 + 8, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutU32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    PutU32(bmp, 10, 14 + 40 + 8);
    PutU32(bmp, 14, 40);
    PutU32(bmp, 18, 4);          // width
    PutU32(bmp, 22, 2);          // height
    PutU16(bmp, 26, 1);          // planes
    PutU16(bmp, 28, 8);          // bits a pixel
    PutU32(bmp, 34, 8);          // pixel bytes
    PutU32(bmp, 46, 2);          // colours in the palette
    PutU32(bmp, 54, 0x000000FF); // blue (B, G, R, 0)
    PutU32(bmp, 58, 0x0000FF00); // green
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 4; ++x)
            bmp[62 + row * 4 + x] = static_cast<char>(x % 2 == 0 ? 200 : 1);
    QTemporaryDir dir;
    ASSERT_EQ(LoadError(dir, "p.bmp", bmp), "no error");
    const TPicture picture = TPicture::FromFile(dir.filePath("p.bmp"));
    // Drawn as the controls draw pictures: at natural size, and stretched.
    QImage canvas(64, 64, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QImage stretched = canvas;
    {
        QPainter painter(&canvas);
        picture.Draw(painter, 0, 0);
        QPainter stretching(&stretched);
        picture.StretchDraw(stretching, QRect(0, 0, 64, 64));
    }
    for (const QPoint at : {QPoint(0, 0), QPoint(2, 1)})
        EXPECT_EQ(canvas.pixelColor(at), QColor(Qt::black)) << at.x() << "," << at.y();
    EXPECT_EQ(canvas.pixelColor(1, 0), QColor(Qt::green));
    EXPECT_EQ(canvas.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_EQ(stretched.pixelColor(8, 8), QColor(Qt::black));
    EXPECT_EQ(stretched.pixelColor(24, 8), QColor(Qt::green));
}

// The picture fuzzers' seeds, and every input a picture fuzzer once stopped on (kept under
// fuzz/regressions/<target>/), load or fail by the same rules the fuzzers check.
TEST(PictureLimits, fuzzSeedsAndKeptFindingsLoadOrFailCleanly) {
    namespace fs = std::filesystem;
    for (const TPictureTarget& target : kPictureTargets) {
        std::vector<TSeed> inputs = PictureSeeds(CALYXOR_SOURCE_DIR, target.Name);
        EXPECT_FALSE(inputs.empty()) << target.Name;
        const fs::path kept = fs::path(CALYXOR_SOURCE_DIR) / "fuzz/regressions" / target.Name;
        if (fs::is_directory(kept))
            for (const auto& entry : fs::directory_iterator(kept))
                inputs.push_back({entry.path().filename().string(), ReadSeedFile(entry.path())});
        for (const TSeed& in : inputs) {
            EXPECT_FALSE(in.Bytes.empty()) << target.Name << " input " << in.Name;
            EXPECT_EQ(CheckPicture(reinterpret_cast<const uint8_t*>(in.Bytes.data()),
                                   in.Bytes.size(), target.Extension),
                      "")
                << target.Name << " input " << in.Name;
        }
    }
}

} // namespace
