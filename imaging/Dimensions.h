#pragma once

#include <cstdint>

#include <QByteArray>

// Pixel width and height of a picture; 0 and 0 when the bytes are not a readable picture.
struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool operator==(const PictureSize&) const = default;
};

// Width and height of the picture in these bytes, measured once. Bytes that begin with "BM" are
// read from their BMP header without decoding (see ReadBmpSize). Other pictures give the size
// that their BMP re-encoding (ToBmpImage) carries: taken from the picture's own header where
// the codec reports it reliably, otherwise from the re-encoding itself.
PictureSize MeasurePicture(const QByteArray& picture);

// Width divided by height in IEEE double precision: a height of 0 gives +inf, -inf or NaN.
double AspectRatioOf(PictureSize size);

// The measures one at a time; each equals the matching part of MeasurePicture.
std::int32_t ReadPictureWidth(const QByteArray& picture);
std::int32_t ReadPictureHeight(const QByteArray& picture);
double AspectRatio(const QByteArray& picture);

// The picture as a BMP file: bytes that begin with "BM" unchanged, anything else re-encoded as
// BMP; empty when the bytes are not a readable picture.
QByteArray ToBmpImage(const QByteArray& picture);

// Width and height stored in a BMP file's header, without decoding. Fields are read
// little-endian at offsets 18 and 22; a buffer that ends inside a field gives the bytes that are
// there (unsigned), and nothing gives 0. Two layouts are read by their own rules: the 12-byte
// core header (16-bit width and height at 18 and 20), and top-down rows, stored as a negative
// height, which measure as high as the number of rows.
PictureSize ReadBmpSize(const QByteArray& bmp);
