#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QByteArray>

#include "imaging/Dimensions.h"
#include "text/Text.h"

class MainWindow;

// How a row's measure is compared with the value the user entered.
enum class Comparison {
    Equal,   // "="
    AtLeast, // ">": keeps measures greater than or equal to the value
    AtMost,  // "<": keeps measures less than or equal to the value
};

// The comparison chosen by a combo's selected index: 0 "=", 1 ">", anything else (2, and -1
// when nothing is selected) "<".
Comparison ComparisonFromIndex(int index);

// The tolerance of the real comparisons (aspect ratio, file size under ">" and "<").
inline constexpr double RealTolerance = 1e-7;

// Keep rules. Each says whether a row whose measure is `measure` stays under the comparison.
// Width and height compare as integers.
bool KeepsInteger(Comparison comparison, std::int32_t measure, std::int32_t value);
// The difference measure - value is judged against RealTolerance with plain ordered comparisons,
// so a NaN difference (a picture measuring 0 x 0) passes "=" and "<" and fails ">".
bool KeepsReal(Comparison comparison, double measure, double value);
// The file size: under "=" the row's size text and the entry must be the same bytes (neither is
// read as a number, so "500.0" or " 500" does not match "500"); under ">" and "<" both are read
// with TextToReal and compared as reals.
bool KeepsSize(Comparison comparison, const Text& sizeText, const Text& entry);

// Why the filter cannot start: no condition ticked, or the first ticked condition (in the order
// width, height, aspect ratio, file size) whose value box is empty. Nothing when it can start.
// Unticked conditions are not looked at; a value of blanks counts as given.
std::optional<Text> FilterInputError(const MainWindow& w);

// The steps of the pass that touch the file, the preview and the picture codec. The pass runs
// the real ones; a caller that wants to watch or time them starts from Real() and wraps them
// (every step must be set).
struct FilterPassSteps {
    std::function<QByteArray(const Text& path)> readFile;
    std::function<void(MainWindow& w, const QByteArray& picture)> showPreview;
    std::function<PictureSize(const QByteArray& picture)> measure;

    static FilterPassSteps Real();
};

// The click on "筛选图片": checks the conditions (reporting the first problem in an error box
// and stopping), then walks the list once from the top. Each row is selected, scrolled into
// view, read and previewed; after the window's waiting events have run, the ticked conditions,
// read afresh from their controls, judge it, and the first one it fails removes it. The picture
// is measured at most once per row, and only when a ticked condition needs it. Closing the
// window ends the pass at once.
void RunFilterPass(MainWindow& w);
void RunFilterPassWith(MainWindow& w, const FilterPassSteps& steps);
