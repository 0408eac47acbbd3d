#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <gif_lib.h>

#include "imaging/Dimensions.h"
#include "imaging/Reencode.h"
#include "text/Text.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

QByteArray Bytes(const char* data, qsizetype size) {
    return QByteArray(data, size);
}

void PutLe(QByteArray& bytes, qsizetype offset, std::uint32_t value, int length) {
    for (int i = 0; i < length; ++i)
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void AppendLe(QByteArray& bytes, std::uint32_t value, int length) {
    bytes.append(QByteArray(length, '\0'));
    PutLe(bytes, bytes.size() - length, value, length);
}

std::int32_t Le32(const QByteArray& bytes, qsizetype offset) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

// A picture whose pixels differ from row to row and column to column, so that a flipped or
// shifted decode would show.
QImage Pattern(int w, int h, QImage::Format format = QImage::Format_RGB32, bool alpha = false) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgba((x * 7) & 0xFF, (y * 13) & 0xFF, (x + 3 * y) & 0xFF,
                                 alpha ? ((x + y) % 3 == 0 ? 0 : 255) : 255));
    return image.convertToFormat(format);
}

// Few colours: the GIF encoder keeps them exactly.
QImage FourColours(int w, int h, bool withTransparency) {
    static const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 128, 255), qRgb(250, 250, 250),
                                   qRgba(0, 0, 0, 0)};
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colours[(x / 3 + y) % (withTransparency ? 4 : 3)]);
    return image;
}

QByteArray
Encoded(const QImage& image, const char* format, bool progressive = false,
        QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.setTransformation(transformation);
    if (!writer.write(image))
        qFatal("could not write the %s fixture: %s", format, qPrintable(writer.errorString()));
    return bytes;
}

QImage Decoded(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    return reader.read();
}

QByteArray Gif(const QImage& image) {
    QByteArray gif;
    if (!ReencodePicture(Encoded(image, "png"), PictureFormat::Gif, Text(), &gif))
        qFatal("could not make the GIF fixture");
    return gif;
}

// A 24-bit BMP, rows bottom-up, or top-down (stored as a negative height).
QByteArray Bmp24(int w, int h, bool topDown) {
    const int rowBytes = (w * 3 + 3) / 4 * 4;
    QByteArray bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe(bmp, 2, 54 + rowBytes * h, 4);
    PutLe(bmp, 10, 54, 4);
    PutLe(bmp, 14, 40, 4);
    PutLe(bmp, 18, w, 4);
    PutLe(bmp, 22, topDown ? -h : h, 4);
    PutLe(bmp, 26, 1, 2);
    PutLe(bmp, 28, 24, 2);
    bmp.append(QByteArray(rowBytes * h, '\x40'));
    return bmp;
}

// A 24-bit BMP with the 12-byte core header of the older layout.
QByteArray CoreBmp(int w, int h) {
    const int rowBytes = (w * 3 + 3) / 4 * 4;
    QByteArray bmp(26, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe(bmp, 2, 26 + rowBytes * h, 4);
    PutLe(bmp, 10, 26, 4);
    PutLe(bmp, 14, 12, 4);
    PutLe(bmp, 18, w, 2);
    PutLe(bmp, 20, h, 2);
    PutLe(bmp, 22, 1, 2);
    PutLe(bmp, 24, 24, 2);
    bmp.append(QByteArray(rowBytes * h, '\x70'));
    return bmp;
}

// The 54 header bytes of a 640 x 480 BMP whose bit count (0) no decoder accepts: only a reader
// of the header fields can measure it.
QByteArray UndecodableBmpHeader() {
    QByteArray bmp = Bmp24(640, 480, false).left(54);
    PutLe(bmp, 28, 0, 2);
    return bmp;
}

// "BM" followed by zeros, `size` bytes in all, with the given bytes from offset 18 on.
QByteArray ShortBm(int size, std::initializer_list<unsigned char> fromOffset18 = {}) {
    QByteArray bytes(size, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    int at = 18;
    for (unsigned char b : fromOffset18)
        bytes[at++] = static_cast<char>(b);
    return bytes;
}

struct GifFrame {
    int left, top, width, height;
};

int AppendGifBytes(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// A GIF of several frames on a logical screen, drawn in two colours.
QByteArray GifOfFrames(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGifBytes, &error);
    GifColorType colours[] = {{0, 0, 0}, {255, 255, 0}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    bool ok = EGifPutScreenDesc(gif, screenWidth, screenHeight, 1, 0, map) == GIF_OK;
    for (const GifFrame& f : frames) {
        ok =
            ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, nullptr) == GIF_OK;
        std::vector<GifPixelType> row(static_cast<size_t>(f.width));
        for (int y = 0; ok && y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x)
                row[static_cast<size_t>(x)] = static_cast<GifPixelType>((x + y) & 1);
            ok = EGifPutLine(gif, row.data(), f.width) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    if (!ok)
        qFatal("could not make the GIF fixture");
    return out;
}

// An uncompressed 8-bit grayscale TIFF with one page per size.
QByteArray TiffPages(const std::vector<QSize>& pages) {
    QByteArray tiff("II*\0", 4);
    AppendLe(tiff, 8, 4);
    for (size_t p = 0; p < pages.size(); ++p) {
        const int w = pages[p].width();
        const int h = pages[p].height();
        const int entries = 9;
        const qsizetype ifdSize = 2 + entries * 12 + 4;
        const std::uint32_t dataOffset = static_cast<std::uint32_t>(tiff.size() + ifdSize);
        const std::uint32_t dataSize = static_cast<std::uint32_t>(w * h);
        const std::uint32_t nextIfd =
            p + 1 < pages.size() ? (dataOffset + dataSize + 1) / 2 * 2 : 0;
        AppendLe(tiff, entries, 2);
        const auto entry = [&tiff](int tag, int type, std::uint32_t value) {
            AppendLe(tiff, static_cast<std::uint32_t>(tag), 2);
            AppendLe(tiff, static_cast<std::uint32_t>(type), 2);
            AppendLe(tiff, 1, 4);
            AppendLe(tiff, value, type == 3 ? 2 : 4);
            if (type == 3)
                AppendLe(tiff, 0, 2);
        };
        constexpr int kShort = 3, kLong = 4;
        entry(256, kLong, static_cast<std::uint32_t>(w));
        entry(257, kLong, static_cast<std::uint32_t>(h));
        entry(258, kShort, 8);
        entry(259, kShort, 1);
        entry(262, kShort, 1);
        entry(273, kLong, dataOffset);
        entry(277, kShort, 1);
        entry(278, kLong, static_cast<std::uint32_t>(h));
        entry(279, kLong, dataSize);
        AppendLe(tiff, nextIfd, 4);
        for (std::uint32_t i = 0; i < dataSize; ++i)
            tiff.append(static_cast<char>(i * 5));
        if (tiff.size() % 2)
            tiff.append('\0');
    }
    return tiff;
}

struct IconImage {
    int directoryWidth, directoryHeight; // as stored: 0 stands for 256
    QByteArray data;
};

// The image data of an icon entry in BMP form: 32-bit pixels and an AND mask, the info header
// counting both in its height.
QByteArray IconDib(int w, int h) {
    QByteArray dib(40, '\0');
    PutLe(dib, 0, 40, 4);
    PutLe(dib, 4, w, 4);
    PutLe(dib, 8, 2 * h, 4);
    PutLe(dib, 12, 1, 2);
    PutLe(dib, 14, 32, 2);
    dib.append(QByteArray(w * h * 4, '\x7F'));
    dib.append(QByteArray((w + 31) / 32 * 4 * h, '\0'));
    return dib;
}

QByteArray IconFile(const std::vector<IconImage>& images) {
    QByteArray ico;
    AppendLe(ico, 0, 2);
    AppendLe(ico, 1, 2);
    AppendLe(ico, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const IconImage& image : images) {
        AppendLe(ico, static_cast<std::uint32_t>(image.directoryWidth), 1);
        AppendLe(ico, static_cast<std::uint32_t>(image.directoryHeight), 1);
        AppendLe(ico, 0, 2);
        AppendLe(ico, 1, 2);
        AppendLe(ico, 32, 2);
        AppendLe(ico, static_cast<std::uint32_t>(image.data.size()), 4);
        AppendLe(ico, offset, 4);
        offset += static_cast<std::uint32_t>(image.data.size());
    }
    for (const IconImage& image : images)
        ico.append(image.data);
    return ico;
}

// The JPEG with an EXIF block whose orientation tag (6) asks viewers to turn it by 90 degrees.
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation) {
    QByteArray tiff("II*\0", 4);
    AppendLe(tiff, 8, 4);
    AppendLe(tiff, 1, 2);      // one entry
    AppendLe(tiff, 0x0112, 2); // Orientation
    AppendLe(tiff, 3, 2);      // SHORT
    AppendLe(tiff, 1, 4);
    AppendLe(tiff, static_cast<std::uint32_t>(orientation), 2);
    AppendLe(tiff, 0, 2);
    AppendLe(tiff, 0, 4); // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(static_cast<char>((payload.size() + 2) >> 8));
    segment.append(static_cast<char>((payload.size() + 2) & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

Text GbkBytes(const char* bytes) {
    return Text::FromBytes(bytes);
}

} // namespace

char* toString(const PictureSize& size) {
    return QTest::toString(QString("%1 x %2").arg(size.width).arg(size.height));
}

class TestImaging : public QObject {
    Q_OBJECT

private slots:
    // --- Re-encoding ---

    void jpegBecomesBmp() {
        QByteArray result;
        QVERIFY(ReencodePicture(Encoded(Pattern(1920, 1080), "jpeg"), PictureFormat::Bmp, Text(),
                                &result));
        QVERIFY(result.startsWith("BM"));
        QCOMPARE(Le32(result, 18), 1920);
        QCOMPARE(Le32(result, 22), 1080);
    }

    void everyTargetFormat_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("magic");
        QTest::addColumn<bool>("lossless");
        QTest::newRow("1 Bmp") << 1 << QByteArray("BM") << true;
        QTest::newRow("2 Jpeg") << 2 << QByteArray("\xFF\xD8") << false;
        QTest::newRow("3 Gif") << 3 << QByteArray("GIF8") << true;
        QTest::newRow("4 Tiff") << 4 << QByteArray("II*\0", 4) << true;
        QTest::newRow("5 Png") << 5 << QByteArray("\x89PNG") << true;
    }

    void everyTargetFormat() {
        QFETCH(int, format);
        QFETCH(QByteArray, magic);
        QFETCH(bool, lossless);
        const QImage source = FourColours(37, 23, false);
        QByteArray result;
        QVERIFY(ReencodePicture(Encoded(source, "png"), format, Text(), &result));
        QVERIFY(result.startsWith(magic));
        const QImage back = Decoded(result).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(back.size(), source.size());
        if (lossless)
            QCOMPARE(back, source.convertToFormat(QImage::Format_RGB32));
    }

    // Qt writes no GIF; the giflib encoder keeps few colours exactly, quantises many, and turns
    // transparent pixels into the transparent colour.
    void gifEncoding_data() {
        QTest::addColumn<QImage>("source");
        QTest::addColumn<int>("maxChannelError");
        QTest::newRow("four colours") << FourColours(40, 30, false) << 0;
        QTest::newRow("three colours and transparency") << FourColours(40, 30, true) << 0;
        QTest::newRow("65536 colours") << Pattern(256, 256) << 48;
        QTest::newRow("many colours and transparency")
            << Pattern(256, 256, QImage::Format_ARGB32, true) << 48;
        QTest::newRow("1 x 1") << Pattern(1, 1) << 0;
    }

    void gifEncoding() {
        QFETCH(QImage, source);
        QFETCH(int, maxChannelError);
        QByteArray gif;
        QVERIFY(ReencodePicture(Encoded(source, "png"), PictureFormat::Gif, Text(), &gif));
        QVERIFY(gif.startsWith("GIF8"));
        const QImage back = Decoded(gif).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(back.size(), source.size());
        const QImage want = source.convertToFormat(QImage::Format_ARGB32);
        int worst = 0;
        for (int y = 0; y < want.height(); ++y) {
            for (int x = 0; x < want.width(); ++x) {
                const QRgb a = want.pixel(x, y);
                const QRgb b = back.pixel(x, y);
                QCOMPARE(qAlpha(b), qAlpha(a) < 128 ? 0 : 255);
                if (qAlpha(a) < 128)
                    continue;
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        }
        QVERIFY2(worst <= maxChannelError, qPrintable(QString::number(worst)));
    }

    // Every failure returns false, leaves the result as it was and writes no file.
    void failuresChangeNothing_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<int>("format");
        const QByteArray png = Encoded(Pattern(8, 8), "png");
        QTest::newRow("empty buffer") << QByteArray() << 1;
        QTest::newRow("text file") << QByteArray("Hello, picture filter.\r\nSecond line\r\n") << 1;
        QTest::newRow("PNG signature only") << png.left(8) << 1;
        QTest::newRow("JPEG start marker only") << QByteArray("\xFF\xD8\xFF") << 1;
        QTest::newRow("GIF header only") << QByteArray("GIF89a") << 1;
        // Texts that other Qt image plugins would take for portable bitmap and X bitmap files.
        QTest::newRow("PBM text") << QByteArray("P1\n2 2\n0 1\n1 0\n") << 1;
        QTest::newRow("XBM text") << QByteArray("#define t_width 2\n#define t_height 2\n"
                                                "static char t_bits[] = {0x01, 0x02};\n")
                                  << 1;
        QTest::newRow("format 0") << png << 0;
        QTest::newRow("format 6") << png << 6;
        QTest::newRow("format -1") << png << -1;
        QTest::newRow("GIF wider than 65535") << Encoded(Pattern(65536, 1), "png") << 3;
    }

    void failuresChangeNothing() {
        QFETCH(QByteArray, picture);
        QFETCH(int, format);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString out = dir.filePath("out.bin");
        QByteArray result("untouched");
        QVERIFY(!ReencodePicture(picture, format, TextFromQString(out), &result));
        QCOMPARE(result, QByteArray("untouched"));
        QVERIFY(!QFile::exists(out));
    }

    // A path of nothing but ASCII and ideographic spaces writes no file; any other path is used
    // as given, spaces included.
    void outputPathSpaces_data() {
        QTest::addColumn<Text>("path");
        QTest::addColumn<QString>("writtenFile");
        QTest::newRow("empty") << Text() << QString();
        QTest::newRow("three spaces") << GbkBytes("   ") << QString();
        QTest::newRow("ideographic space") << GbkBytes("\xA1\xA1") << QString();
        QTest::newRow("both kinds") << GbkBytes(" \xA1\xA1 \xA1\xA1") << QString();
        QTest::newRow("name between spaces") << GbkBytes(" a.bmp ") << QString(" a.bmp ");
        QTest::newRow("Chinese name") << U8("图片 1.bmp") << QString::fromUtf8("图片 1.bmp");
    }

    void outputPathSpaces() {
        QFETCH(Text, path);
        QFETCH(QString, writtenFile);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QByteArray result;
        const bool ok = ReencodePicture(Encoded(Pattern(5, 4), "png"), 1, path, &result);
        QDir::setCurrent(previous);
        QVERIFY(ok);
        QVERIFY(result.startsWith("BM"));
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        if (writtenFile.isEmpty()) {
            QCOMPARE(files, QStringList());
        } else {
            QCOMPARE(files, QStringList{writtenFile});
            QFile written(dir.filePath(writtenFile));
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll(), result);
        }
    }

    void outputPathReplacesFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("existing.png");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(1 << 20, 'x'));
        }
        QByteArray result;
        QVERIFY(ReencodePicture(Encoded(Pattern(30, 20), "jpeg"), PictureFormat::Png,
                                TextFromQString(path), &result));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), result);
    }

    // A file that cannot be written is a failure like any other: false, result untouched.
    void outputPathUnwritable_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("missing folder") << QByteArray("no/such/folder/out.bmp");
        QTest::newRow("a folder") << QByteArray("folder");
        // A lone lead byte has no character, so the name leads to no file of its own.
        QTest::newRow("name with a lone GBK lead byte") << QByteArray("\xA1\xA1\xA1");
        QTest::newRow("name cut by a zero byte") << QByteArray("out.bmp\0.txt", 12);
    }

    void outputPathUnwritable() {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        const Text path = ConcatText(TextFromQString(dir.path() + "/"),
                                     Text::FromBytes(std::string_view(name.data(), name.size())));
        QByteArray result("untouched");
        QVERIFY(!ReencodePicture(Encoded(Pattern(5, 4), "png"), 1, path, &result));
        QCOMPARE(result, QByteArray("untouched"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void textToUtf16_data() {
        QTest::addColumn<Text>("text");
        QTest::addColumn<bool>("dropTerminator");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("AB") << GbkBytes("AB") << false << Bytes("A\0B\0\0\0", 6);
        QTest::newRow("AB, terminator dropped") << GbkBytes("AB") << true << Bytes("A\0B\0", 4);
        QTest::newRow("empty") << Text() << false << QByteArray();
        QTest::newRow("empty, terminator dropped") << Text() << true << QByteArray();
        QTest::newRow("GBK 中") << GbkBytes("\xD6\xD0") << false << Bytes("\x2D\x4E\0\0", 4);
        QTest::newRow("stops at a zero byte")
            << Text::FromBytes(std::string_view("A\0B", 3)) << false << Bytes("A\0\0\0", 4);
        QTest::newRow("class id")
            << GbkBytes("{557CF400-1A04-11D3-9A73-0000F81EF32E}") << false
            << QByteArray::fromRawData(
                   reinterpret_cast<const char*>(u"{557CF400-1A04-11D3-9A73-0000F81EF32E}"), 78);
    }

    void textToUtf16() {
        QFETCH(Text, text);
        QFETCH(bool, dropTerminator);
        QFETCH(QByteArray, expected);
        QCOMPARE(TextToUtf16(text, dropTerminator), expected);
    }

    // --- Dimensions ---

    void measure_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("ratio");
        QTest::newRow("BMP 640 x 480")
            << Encoded(Pattern(640, 480), "bmp") << 640 << 480 << 1.3333333333333333;
        QTest::newRow("BMP header the codec rejects")
            << UndecodableBmpHeader() << 640 << 480 << 1.3333333333333333;
        QTest::newRow("PNG 800 x 600")
            << Encoded(Pattern(800, 600), "png") << 800 << 600 << 1.3333333333333333;
        QTest::newRow("JPEG 1920 x 1080")
            << Encoded(Pattern(1920, 1080), "jpeg") << 1920 << 1080 << 1.7777777777777777;
        QTest::newRow("empty buffer") << QByteArray() << 0 << 0 << kNaN;
        QTest::newRow("text file") << QByteArray("width=640\nheight=480\n") << 0 << 0 << kNaN;
        QTest::newRow("BM, 18 bytes") << ShortBm(18) << 0 << 0 << kNaN;
        QTest::newRow("BM, 20 bytes") << ShortBm(20, {0x34, 0x12}) << 0x1234 << 0 << kInf;
        QTest::newRow("BM, 20 bytes, width 0") << ShortBm(20) << 0 << 0 << kNaN;
        QTest::newRow("BM, 21 bytes, high byte set")
            << ShortBm(21, {0x01, 0x00, 0x80}) << 0x800001 << 0 << kInf;
        QTest::newRow("BM, 25 bytes")
            << ShortBm(25, {2, 0, 0, 0, 0x10, 0x00, 0x80}) << 2 << 0x800010 << 2.0 / 0x800010;
        QTest::newRow("BM, negative width, height 0")
            << ShortBm(26, {0xFB, 0xFF, 0xFF, 0xFF}) << -5 << 0 << -kInf;
        QTest::newRow("bm in lower case")
            << QByteArray("bm").append(QByteArray(30, '\x10')) << 0 << 0 << kNaN;
        QTest::newRow("BMP, rows top-down")
            << Bmp24(640, 480, true) << 640 << 480 << 1.3333333333333333;
        QTest::newRow("BMP, core header") << CoreBmp(33, 11) << 33 << 11 << 3.0;
    }

    void measure() {
        QFETCH(QByteArray, picture);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, ratio);
        QCOMPARE(ReadPictureWidth(picture), width);
        QCOMPARE(ReadPictureHeight(picture), height);
        QCOMPARE(MeasurePicture(picture), (PictureSize{width, height}));
        if (std::isnan(ratio)) {
            QVERIFY(std::isnan(AspectRatio(picture)));
        } else {
            QCOMPARE(AspectRatio(picture), ratio);
        }
        if (picture.startsWith("BM"))
            QCOMPARE(ToBmpImage(picture), picture);
    }

    // Only the leading bytes decide: the names a picture carries on disk play no part.
    void misnamedFiles() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto roundTrip = [&dir](const QString& name, const QByteArray& bytes) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("could not write %s", qPrintable(name));
            file.close();
            if (!file.open(QIODevice::ReadOnly))
                qFatal("could not read %s", qPrintable(name));
            return file.readAll();
        };
        const QByteArray jpeg = roundTrip("photo.bmp", Encoded(Pattern(1920, 1080), "jpeg"));
        QCOMPARE(MeasurePicture(jpeg), (PictureSize{1920, 1080}));
        QCOMPARE(AspectRatio(jpeg), 1.7777777777777777);
        QVERIFY(ToBmpImage(jpeg).startsWith("BM"));
        const QByteArray bmp = roundTrip("scan.jpg", UndecodableBmpHeader());
        QCOMPARE(MeasurePicture(bmp), (PictureSize{640, 480}));
        QCOMPARE(ToBmpImage(bmp), bmp);
        const QByteArray text = roundTrip("notes.png", "just words\n");
        QCOMPARE(MeasurePicture(text), (PictureSize{0, 0}));
        QVERIFY(ToBmpImage(text).isEmpty());
    }

    // Measurement from the picture's header equals the size in its BMP re-encoding, picture by
    // picture, and that re-encoding is a standard BMP: "BM", a 40-byte info header and a
    // positive height.
    void headerMatchesReencoding_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QSize>("size");
        const auto row = [](const char* name, const QByteArray& bytes, QSize size) {
            QTest::newRow(name) << bytes << size;
        };
        row("JPEG 1 x 1", Encoded(Pattern(1, 1), "jpeg"), {1, 1});
        row("JPEG 1 x 4097", Encoded(Pattern(1, 4097), "jpeg"), {1, 4097});
        row("JPEG 4097 x 1", Encoded(Pattern(4097, 1), "jpeg"), {4097, 1});
        row("JPEG progressive", Encoded(Pattern(333, 111), "jpeg", true), {333, 111});
        row("JPEG grayscale", Encoded(Pattern(64, 48, QImage::Format_Grayscale8), "jpeg"),
            {64, 48});
        row("PNG 1 x 1", Encoded(Pattern(1, 1), "png"), {1, 1});
        row("PNG 1 x 4097", Encoded(Pattern(1, 4097), "png"), {1, 4097});
        row("PNG grayscale", Encoded(Pattern(50, 30, QImage::Format_Grayscale8), "png"), {50, 30});
        row("PNG 16-bit grayscale", Encoded(Pattern(50, 30, QImage::Format_Grayscale16), "png"),
            {50, 30});
        row("PNG paletted", Encoded(Pattern(50, 30, QImage::Format_Indexed8), "png"), {50, 30});
        row("PNG 1-bit", Encoded(Pattern(33, 9, QImage::Format_Mono), "png"), {33, 9});
        row("PNG 16-bit with alpha", Encoded(Pattern(50, 30, QImage::Format_RGBA64, true), "png"),
            {50, 30});
        row("PNG alpha", Encoded(Pattern(50, 30, QImage::Format_ARGB32, true), "png"), {50, 30});
        row("GIF", Gif(Pattern(61, 17)), {61, 17});
        row("GIF with transparency", Gif(FourColours(20, 21, true)), {20, 21});
        row("GIF of two frames", GifOfFrames(40, 30, {{5, 5, 10, 10}, {0, 0, 40, 30}}), {40, 30});
        row("GIF, screen far larger than its frame", GifOfFrames(3000, 2000, {{0, 0, 100, 80}}),
            {3000, 2000});
        row("GIF, screen 0 x 0", GifOfFrames(0, 0, {{3, 4, 20, 10}, {0, 0, 5, 5}}), {23, 14});
        row("TIFF", Encoded(Pattern(31, 7), "tiff"), {31, 7});
        row("TIFF alpha", Encoded(Pattern(31, 7, QImage::Format_ARGB32, true), "tiff"), {31, 7});
        row("TIFF of two pages", TiffPages({{20, 10}, {7, 33}}), {20, 10});
        row("ICO", Encoded(Pattern(32, 32, QImage::Format_ARGB32), "ico"), {32, 32});
        row("ICO of two images",
            IconFile({{16, 16, IconDib(16, 16)}, {48, 48, Encoded(Pattern(48, 48), "png")}}),
            {16, 16});
        // The directory says 256 x 256 (0); the PNG inside has its own size.
        row("ICO whose directory disagrees", IconFile({{0, 0, Encoded(Pattern(300, 200), "png")}}),
            {300, 200});
        row("BMP 24-bit", Encoded(Pattern(13, 7), "bmp"), {13, 7});
        row("BMP paletted", Encoded(Pattern(13, 7, QImage::Format_Indexed8), "bmp"), {13, 7});
        row("BMP 1-bit", Encoded(Pattern(13, 7, QImage::Format_Mono), "bmp"), {13, 7});
        row("BMP rows top-down", Bmp24(9, 5, true), {9, 5});
        row("BMP core header", CoreBmp(9, 5), {9, 5});
    }

    void headerMatchesReencoding() {
        QFETCH(QByteArray, picture);
        QFETCH(QSize, size);
        QByteArray bmp;
        QVERIFY(ReencodePicture(picture, PictureFormat::Bmp, Text(), &bmp));
        QVERIFY(bmp.startsWith("BM"));
        QCOMPARE(Le32(bmp, 14), 40);
        QVERIFY(Le32(bmp, 22) > 0);
        const PictureSize expected{size.width(), size.height()};
        QCOMPARE(ReadBmpSize(bmp), expected);
        QCOMPARE(MeasurePicture(picture), expected);
    }

    // Damaged files measure as their re-encoding does, whatever that gives.
    void damagedPicturesMeasureAsReencoded_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QSize>("size");
        const QByteArray png = Encoded(Pattern(400, 300), "png");
        const QByteArray jpeg = Encoded(Pattern(400, 300), "jpeg");
        const QByteArray gif = Gif(Pattern(400, 300));
        const QByteArray tiff = Encoded(Pattern(400, 300), "tiff");
        QTest::newRow("PNG without its last byte") << png.chopped(1) << QSize(400, 300);
        QTest::newRow("PNG cut in half") << png.left(png.size() / 2) << QSize(0, 0);
        QTest::newRow("PNG with bytes after its end") << png + "trailer" << QSize(400, 300);
        QTest::newRow("JPEG cut at its first scan")
            << jpeg.left(jpeg.indexOf("\xFF\xDA")) << QSize(0, 0);
        QTest::newRow("JPEG cut in half") << jpeg.left(jpeg.size() / 2) << QSize(400, 300);
        QTest::newRow("GIF cut in half") << gif.left(gif.size() / 2) << QSize(400, 300);
        QTest::newRow("TIFF cut in half") << tiff.left(tiff.size() / 2) << QSize(0, 0);
    }

    void damagedPicturesMeasureAsReencoded() {
        QFETCH(QByteArray, picture);
        QFETCH(QSize, size);
        const PictureSize expected{size.width(), size.height()};
        QCOMPARE(ReadBmpSize(ToBmpImage(picture)), expected);
        QCOMPARE(MeasurePicture(picture), expected);
    }

    // The stored width and height count; an orientation tag turns nothing.
    void storedOrientationKept_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::newRow("JPEG, EXIF orientation 6")
            << WithExifOrientation(Encoded(Pattern(40, 20), "jpeg"), 6);
        QTest::newRow("TIFF, orientation tag")
            << Encoded(Pattern(40, 20), "tiff", false, QImageIOHandler::TransformationRotate90);
    }

    void storedOrientationKept() {
        QFETCH(QByteArray, picture);
        QBuffer buffer;
        buffer.setData(picture);
        buffer.open(QIODevice::ReadOnly);
        QImageReader turning(&buffer);
        turning.setAutoTransform(true);
        QCOMPARE(turning.read().size(), QSize(20, 40)); // the fixture does carry the turn
        QCOMPARE(MeasurePicture(picture), (PictureSize{40, 20}));
        QCOMPARE(ReadBmpSize(ToBmpImage(picture)), (PictureSize{40, 20}));
    }

    // 10000 x 10000 pixels need 400 MB decoded, beyond Qt's default limit of 128 MB.
    void hundredMegapixels() {
        QImage image(10000, 10000, QImage::Format_RGB32);
        QVERIFY(!image.isNull());
        image.fill(qRgb(20, 90, 160));
        const QByteArray png = Encoded(image, "png");
        image = QImage();
        QCOMPARE(MeasurePicture(png), (PictureSize{10000, 10000}));
        const QByteArray bmp = ToBmpImage(png);
        QCOMPARE(ReadBmpSize(bmp), (PictureSize{10000, 10000}));
        QCOMPARE(bmp.size(), 54 + qsizetype(30000) * 10000);
        QCOMPARE(static_cast<unsigned char>(bmp[54]), 160); // blue of the last row's first pixel
    }

    // A PNG whose header announces 40000 x 40000 RGBA pixels (6.4 GB decoded, beyond what the
    // decoder accepts) cannot be re-encoded, so it measures 0 by 0 both ways.
    void beyondTheDecodingLimit() {
        auto crc32 = [](const QByteArray& data) {
            quint32 crc = 0xFFFFFFFFu;
            for (char c : data) {
                crc ^= static_cast<unsigned char>(c);
                for (int k = 0; k < 8; ++k)
                    crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
            }
            return ~crc;
        };
        auto chunk = [&](const char* type, const QByteArray& body) {
            QByteArray out;
            QDataStream(&out, QIODevice::WriteOnly) << quint32(body.size());
            const QByteArray typed = QByteArray(type) + body;
            out += typed;
            QByteArray crc;
            QDataStream(&crc, QIODevice::WriteOnly) << crc32(typed);
            return out + crc;
        };
        QByteArray ihdr;
        QDataStream(&ihdr, QIODevice::WriteOnly)
            << quint32(40000) << quint32(40000) << quint8(8) << quint8(6) << quint8(0) << quint8(0)
            << quint8(0);
        const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
                               chunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
                               chunk("IEND", QByteArray());
        QCOMPARE(ReadBmpSize(ToBmpImage(png)), (PictureSize{0, 0}));
        QCOMPARE(MeasurePicture(png), (PictureSize{0, 0}));
    }
};

QTEST_GUILESS_MAIN(TestImaging)
#include "test_imaging.moc"
