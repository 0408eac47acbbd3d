#include "picturelist/FileSize.h"

#include "picturelist/FileSystem.h"

float MeasureFileSizeKb(const Text& path) {
    const double bytes = static_cast<double>(fsys::FileSizeBytes(path).value_or(0));
    return static_cast<float>(RoundToDecimals(bytes / 1000, 2));
}
