#include "imaging/Reencode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <gif_lib.h>

namespace {

// Enough for 100 megapixels at 8 bytes a pixel (16-bit PNG with alpha) or 256 at 4.
constexpr int kAllocationLimitMb = 1024;

// GIF stores width and height in 16 bits.
constexpr int kMaxGifSide = 65535;

// Pixels whose alpha is below this become the GIF's transparent colour.
constexpr int kGifAlphaThreshold = 128;

QImage DecodePicture(const QByteArray& picture) {
    PictureReader picReader(picture);
    QImage image;
    if (picReader.format().isEmpty() || !picReader.reader().read(&image))
        return {};
    return image;
}

// A picture reduced to at most 256 colours, one index a pixel, rows top to bottom.
struct IndexedPicture {
    std::vector<GifByteType> indices;
    std::vector<GifColorType> palette;
    int transparentIndex = -1;
};

// Uses the picture's own colours when there are few enough of them, so that a picture that came
// from a GIF or a palette keeps its exact colours.
bool IndexExactly(const QImage& argb, IndexedPicture& out) {
    std::unordered_map<QRgb, GifByteType> indexOfColour;
    const int w = argb.width();
    const int h = argb.height();
    out.indices.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    // Indices are handed out as colours appear. Every transparent pixel shares the key 0, which
    // no opaque colour has (their alpha byte is 0xFF).
    constexpr QRgb kTransparentKey = 0;
    QRgb lastKey = 1; // no pixel has this key, so the first pixel is looked up

    GifByteType lastIndex = 0;
    size_t at = 0;
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < w; ++x, ++at) {
            const QRgb key =
                qAlpha(line[x]) < kGifAlphaThreshold ? kTransparentKey : (line[x] | 0xFF000000u);
            if (key != lastKey) {
                auto it = indexOfColour.find(key);
                if (it == indexOfColour.end()) {
                    if (indexOfColour.size() == 256)
                        return false;
                    it = indexOfColour.emplace(key, static_cast<GifByteType>(indexOfColour.size()))
                             .first;
                }
                lastKey = key;
                lastIndex = it->second;
            }
            out.indices[at] = lastIndex;
        }
    }
    out.palette.assign(indexOfColour.size(), GifColorType{0, 0, 0});
    for (const auto& [key, index] : indexOfColour) {
        if (key == kTransparentKey) {
            out.transparentIndex = index;
            continue;
        }
        out.palette[index] =
            GifColorType{static_cast<GifByteType>(qRed(key)), static_cast<GifByteType>(qGreen(key)),
                         static_cast<GifByteType>(qBlue(key))};
    }
    return true;
}

// Median-cut quantisation by giflib over the opaque pixels. giflib works at 5 bits a channel and
// truncates its averages, so each palette entry is then set to the mean of the pixels mapped to it.
bool IndexByQuantizing(const QImage& argb, IndexedPicture& out) {
    const int w = argb.width();
    const int h = argb.height();
    const size_t total = static_cast<size_t>(w) * static_cast<size_t>(h);
    std::vector<GifByteType> red, green, blue;
    red.reserve(total);
    green.reserve(total);
    blue.reserve(total);
    std::vector<bool> transparent(total);
    size_t at = 0;
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < w; ++x, ++at) {
            if (qAlpha(line[x]) < kGifAlphaThreshold) {
                transparent[at] = true;
                continue;
            }
            red.push_back(static_cast<GifByteType>(qRed(line[x])));
            green.push_back(static_cast<GifByteType>(qGreen(line[x])));
            blue.push_back(static_cast<GifByteType>(qBlue(line[x])));
        }
    }
    const size_t opaque = red.size();
    const bool hasTransparency = opaque < total;
    // The quantiser counts pixels in an int.
    if (opaque == 0 || opaque > 0x7FFFFFFF)
        return false;

    int colours = hasTransparency ? 255 : 256;
    std::array<GifColorType, 256> map{};
    std::vector<GifByteType> opaqueIndices(opaque);
    if (GifQuantizeBuffer(static_cast<unsigned>(opaque), 1, &colours, red.data(), green.data(),
                          blue.data(), opaqueIndices.data(), map.data()) != GIF_OK)
        return false;

    std::array<std::array<std::uint64_t, 3>, 256> sums{};
    std::array<std::uint64_t, 256> counts{};
    for (size_t i = 0; i < opaque; ++i) {
        auto& sum = sums[opaqueIndices[i]];
        sum[0] += red[i];
        sum[1] += green[i];
        sum[2] += blue[i];
        ++counts[opaqueIndices[i]];
    }
    out.palette.resize(static_cast<size_t>(colours));
    for (int i = 0; i < colours; ++i) {
        const std::uint64_t n = counts[static_cast<size_t>(i)];
        if (n == 0) {
            out.palette[static_cast<size_t>(i)] = map[static_cast<size_t>(i)];
            continue;
        }
        const auto& sum = sums[static_cast<size_t>(i)];
        out.palette[static_cast<size_t>(i)] =
            GifColorType{static_cast<GifByteType>((sum[0] + n / 2) / n),
                         static_cast<GifByteType>((sum[1] + n / 2) / n),
                         static_cast<GifByteType>((sum[2] + n / 2) / n)};
    }

    out.transparentIndex = hasTransparency ? colours : -1;
    if (hasTransparency)
        out.palette.push_back(GifColorType{0, 0, 0});
    out.indices.resize(total);
    size_t next = 0;
    for (size_t i = 0; i < total; ++i)
        out.indices[i] = transparent[i] ? static_cast<GifByteType>(colours) : opaqueIndices[next++];
    return true;
}

int AppendToByteArray(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// giflib masks the index rows in place as it writes them, hence the non-const picture.
bool WriteIndexedGif(IndexedPicture& picture, int w, int h, QByteArray& out) {
    // A GIF colour table holds a power of two of entries, at least 2.
    const int mapSize =
        std::max(2, static_cast<int>(std::bit_ceil(static_cast<unsigned>(picture.palette.size()))));
    std::vector<GifColorType> colours(picture.palette);
    colours.resize(static_cast<size_t>(mapSize), GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(mapSize, colours.data());
    if (!map)
        return false;

    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToByteArray, &error);
    if (!gif) {
        GifFreeMapObject(map);
        return false;
    }
    bool ok = true;
    if (picture.transparentIndex >= 0)
        EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    if (ok && picture.transparentIndex >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.UserInputFlag = false;
        control.DelayTime = 0;
        control.TransparentColor = picture.transparentIndex;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
             GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y) {
        ok = EGifPutLine(gif, picture.indices.data() + static_cast<size_t>(y) * w, w) == GIF_OK;
    }
    // Writes the trailer and frees the handle in every case.
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok;
}

bool EncodeGif(const QImage& image, QByteArray& out) {
    if (image.width() > kMaxGifSide || image.height() > kMaxGifSide)
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull())
        return false;
    IndexedPicture indexed;
    if (!IndexExactly(argb, indexed)) {
        indexed = IndexedPicture();
        if (!IndexByQuantizing(argb, indexed))
            return false;
    }
    return WriteIndexedGif(indexed, argb.width(), argb.height(), out);
}

bool EncodePicture(const QImage& image, int format, QByteArray& out) {
    if (format == static_cast<int>(PictureFormat::Gif))
        return EncodeGif(image, out);
    const char* name = nullptr;
    switch (format) {
    case static_cast<int>(PictureFormat::Bmp):
        name = "bmp";
        break;
    case static_cast<int>(PictureFormat::Jpeg):
        name = "jpeg";
        break;
    case static_cast<int>(PictureFormat::Tiff):
        name = "tiff";
        break;
    case static_cast<int>(PictureFormat::Png):
        name = "png";
        break;
    default:
        return false;
    }
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, name);
    return writer.write(image);
}

// True when the text holds nothing but ASCII spaces and ideographic spaces (GBK 0xA1 0xA1),
// stepping over it as GBK does: a byte of 0x80 or above leads a two-byte character.
bool IsBlank(const Text& text) {
    int i = 0;
    while (i < text.size()) {
        if (text.at(i) == 0x20) {
            ++i;
        } else if (text.at(i) == 0xA1 && i + 1 < text.size() && text.at(i + 1) == 0xA1) {
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Replaces the file's content by the bytes. The new content goes to a temporary file that then
// takes the file's place, so a failed write leaves the old file as it was.
bool WriteWholeFile(const Text& path, const QByteArray& bytes) {
    const std::string native = TextToPath(path);
    // A zero byte would end the name early, and a text that does not convert back to itself
    // names a different file.
    if (native.find('\0') != std::string::npos || TextFromPath(native) != path)
        return false;
    QSaveFile file(QString::fromStdString(native));
    // Where no temporary file can be made beside it (a folder without write permission), the
    // file is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

PictureReader::PictureReader(const QByteArray& picture) : format_(DecodablePictureFormat(picture)) {
    AllowLargePictures();
    buffer_.setData(picture);
    buffer_.open(QIODevice::ReadOnly);
    reader_.setDevice(&buffer_);
    reader_.setFormat(format_);
    reader_.setAutoDetectImageFormat(false);
    reader_.setAutoTransform(false);
}

void AllowLargePictures() {
    if (QImageReader::allocationLimit() < kAllocationLimitMb)
        QImageReader::setAllocationLimit(kAllocationLimitMb);
}

QByteArray DecodablePictureFormat(const QByteArray& picture) {
    using namespace std::string_view_literals;
    const auto startsWith = [&picture](std::string_view magic) {
        return picture.startsWith(QByteArrayView(magic.data(), std::ssize(magic)));
    };
    if (startsWith("BM"sv))
        return "bmp";
    if (startsWith("\xFF\xD8"sv))
        return "jpeg";
    if (startsWith("\x89PNG\r\n\x1A\n"sv))
        return "png";
    if (startsWith("GIF87a"sv) || startsWith("GIF89a"sv))
        return "gif";
    if (startsWith("II*\0"sv) || startsWith("MM\0*"sv))
        return "tiff";
    if (startsWith("\0\0\1\0"sv))
        return "ico";
    return {};
}

bool ReencodePicture(const QByteArray& picture, int format, const Text& outputPath,
                     QByteArray* result) {
    if (format < static_cast<int>(PictureFormat::Bmp) ||
        format > static_cast<int>(PictureFormat::Png))
        return false;
    const QImage image = DecodePicture(picture);
    if (image.isNull())
        return false;
    QByteArray encoded;
    // An encoder that fails may have written part of a file; that part is dropped.
    if (!EncodePicture(image, format, encoded) || encoded.isEmpty())
        return false;
    if (!IsBlank(outputPath) && !WriteWholeFile(outputPath, encoded))
        return false;
    if (result)
        *result = std::move(encoded);
    return true;
}

QByteArray TextToUtf16(const Text& text, bool dropTerminator) {
    if (text.isEmpty())
        return {};
    const std::string_view bytes(text.bytes());
    const QString units = TextToQString(Text::FromBytes(bytes.substr(0, bytes.find('\0'))));
    QByteArray out;
    out.reserve((units.size() + 1) * 2);
    for (const QChar unit : units) {
        out.append(static_cast<char>(unit.unicode() & 0xFF));
        out.append(static_cast<char>(unit.unicode() >> 8));
    }
    if (!dropTerminator)
        out.append(2, '\0');
    return out;
}
