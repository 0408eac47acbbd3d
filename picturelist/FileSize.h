#pragma once

#include "text/Text.h"

// The size of a file in kilobytes of 1000 bytes: the byte count divided by 1000, rounded to two
// decimals in double precision, then held in single precision. 0 when the size cannot be read
// (a missing file, a folder, a path that cannot be reached).
float MeasureFileSizeKb(const Text& path);
