#pragma once

#include <cstdint>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "text/Text.h"

// The target formats of a re-encoding, by the numbers that callers pass.
enum class PictureFormat : std::int32_t { Bmp = 1, Jpeg = 2, Gif = 3, Tiff = 4, Png = 5 };

// Decodes a picture file (BMP, JPEG, PNG, GIF, TIFF or ICO, recognised by its leading bytes, the
// first frame, page or icon image) and encodes it as a complete file of the given format (1 to 5,
// see PictureFormat). On success the encoded bytes replace *result (when given) and the call
// returns true. When outputPath holds anything besides ASCII spaces and ideographic spaces
// (GBK 0xA1 0xA1), the bytes are also written to that file, replacing it whole; if that write
// fails the call fails. On failure (bytes not a readable picture, a format outside 1 to 5, an
// encoder or file failure) the call returns false, *result is left as it was and no file changes.
// One call at a time: giflib's colour quantiser keeps its state in a global.
bool ReencodePicture(const QByteArray& picture, int format, const Text& outputPath = Text(),
                     QByteArray* result = nullptr);
inline bool ReencodePicture(const QByteArray& picture, PictureFormat format,
                            const Text& outputPath = Text(), QByteArray* result = nullptr) {
    return ReencodePicture(picture, static_cast<int>(format), outputPath, result);
}

// The UTF-16 little-endian code units of a GBK/GB18030 text, read up to its first zero byte,
// followed by a zero code unit unless dropTerminator is set. The empty text gives no bytes.
QByteArray TextToUtf16(const Text& text, bool dropTerminator = false);

// Qt's image readers refuse pictures whose pixels would need more than 128 MB. This raises that
// process-wide limit (never lowers it) so that photos of 100 megapixels and more decode. The
// program calls it at start-up; the functions here call it too before they decode.
void AllowLargePictures();

// The Qt format name under which ReencodePicture decodes these bytes ("bmp", "jpeg", "png",
// "gif", "tiff" or "ico"), judged by the leading bytes alone; empty for anything else.
QByteArray DecodablePictureFormat(const QByteArray& picture);

// A reader over a picture's bytes as both the measurement and the re-encoding read it: only the
// handler named by the leading bytes (see DecodablePictureFormat) may read, the stored
// orientation is kept, and large pictures are allowed. format() is empty for bytes no handler
// of ours reads.
class PictureReader {
public:
    explicit PictureReader(const QByteArray& picture);
    PictureReader(const PictureReader&) = delete;
    PictureReader& operator=(const PictureReader&) = delete;

    const QByteArray& format() const { return format_; }
    QImageReader& reader() { return reader_; }

private:
    QByteArray format_;
    QBuffer buffer_;
    QImageReader reader_;
};
