#include "imaging/Dimensions.h"

#include <algorithm>
#include <limits>
#include <optional>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSize>

#include "imaging/Reencode.h"

namespace {

constexpr qsizetype kInfoHeaderSizeOffset = 14;
constexpr qsizetype kWidthOffset = 18;
constexpr qsizetype kHeightOffset = 22;
constexpr qsizetype kCoreHeightOffset = 20;
constexpr std::int32_t kCoreHeaderSize = 12;
constexpr std::int32_t kInfoHeaderSize = 40;

bool StartsWithBm(const QByteArray& picture) {
    return picture.size() >= 2 && picture[0] == 'B' && picture[1] == 'M';
}

// Up to `length` little-endian bytes from `offset`; bytes past the end count as zero.
std::int32_t ReadField(const QByteArray& bytes, qsizetype offset, int length = 4) {
    std::uint32_t value = 0;
    for (int i = 0; i < length && offset + i < bytes.size(); ++i)
        value |= std::uint32_t(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<std::int32_t>(value);
}

// The logical screen of a GIF file, the canvas its frames are drawn on.
std::optional<QSize> GifScreenSize(const QByteArray& gif) {
    if (gif.size() < 10)
        return std::nullopt;
    return QSize(ReadField(gif, 6, 2), ReadField(gif, 8, 2));
}

// The size in the picture's header, where the header states the size that a decode yields.
std::optional<PictureSize> HeaderSize(const QByteArray& picture) {
    PictureReader picReader(picture);
    const QByteArray& format = picReader.format();
    // An icon's directory may state another size than its image has (0 stands for 256, and an
    // embedded PNG keeps its own), so icons are decoded.
    if (format != "jpeg" && format != "png" && format != "gif" && format != "tiff")
        return std::nullopt;
    QImageReader& reader = picReader.reader();
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    // A picture too large for the decoder to accept cannot be re-encoded either; it goes the
    // way of the re-encoding, which measures it 0 by 0. Without a stated pixel format the
    // widest one Qt decodes into (64 bits) is assumed, which only ever sends more pictures the
    // slow way.
    const int bits =
        reader.imageFormat() == QImage::Format_Invalid
            ? 64
            : std::max(int(QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel()), 1);
    const std::int64_t lineBytes = (std::int64_t(size.width()) * bits + 31) / 32 * 4;
    if (lineBytes * size.height() > std::int64_t(QImageReader::allocationLimit()) * 1024 * 1024)
        return std::nullopt;
    // Qt's GIF header scan doubts a logical screen much larger than the first frame and reports
    // the frame, while its decoder draws on the whole screen. The scan is taken only when it
    // reports the screen itself.
    if (format == "gif" && GifScreenSize(picture) != size)
        return std::nullopt;
    // A PNG cut short still has its header, but its decode fails. The header is taken only from
    // a PNG that ends with its IEND chunk; any other goes the way of the re-encoding.
    if (format == "png" && !picture.endsWith(QByteArrayView("\0\0\0\0IEND\xAE\x42\x60\x82", 12)))
        return std::nullopt;
    return PictureSize{size.width(), size.height()};
}

} // namespace

PictureSize ReadBmpSize(const QByteArray& bmp) {
    const std::int32_t headerSize = ReadField(bmp, kInfoHeaderSizeOffset);
    if (headerSize == kCoreHeaderSize)
        return {ReadField(bmp, kWidthOffset, 2), ReadField(bmp, kCoreHeightOffset, 2)};
    PictureSize size{ReadField(bmp, kWidthOffset), ReadField(bmp, kHeightOffset)};
    if (headerSize >= kInfoHeaderSize && size.height < 0 &&
        size.height != std::numeric_limits<std::int32_t>::min())
        size.height = -size.height;
    return size;
}

QByteArray ToBmpImage(const QByteArray& picture) {
    if (StartsWithBm(picture))
        return picture;
    QByteArray bmp;
    ReencodePicture(picture, PictureFormat::Bmp, Text(), &bmp);
    return bmp;
}

PictureSize MeasurePicture(const QByteArray& picture) {
    if (StartsWithBm(picture))
        return ReadBmpSize(picture);
    if (const auto size = HeaderSize(picture))
        return *size;
    return ReadBmpSize(ToBmpImage(picture));
}

double AspectRatioOf(PictureSize size) {
    return static_cast<double>(size.width) / static_cast<double>(size.height);
}

std::int32_t ReadPictureWidth(const QByteArray& picture) {
    return MeasurePicture(picture).width;
}

std::int32_t ReadPictureHeight(const QByteArray& picture) {
    return MeasurePicture(picture).height;
}

double AspectRatio(const QByteArray& picture) {
    return AspectRatioOf(MeasurePicture(picture));
}
