#include "filter/Filter.h"

#include <cmath>

#include "app/MainWindow.h"
#include "picturelist/PicturePaths.h"

Comparison ComparisonFromIndex(int index) {
    switch (index) {
    case 0:
        return Comparison::Equal;
    case 1:
        return Comparison::AtLeast;
    default:
        return Comparison::AtMost;
    }
}

bool KeepsInteger(Comparison comparison, std::int32_t measure, std::int32_t value) {
    switch (comparison) {
    case Comparison::Equal:
        return measure == value;
    case Comparison::AtLeast:
        return measure >= value;
    case Comparison::AtMost:
        break;
    }
    return measure <= value;
}

bool KeepsReal(Comparison comparison, double measure, double value) {
    // Written as negated "outside" tests on purpose: every ordered comparison with NaN is false.
    const double difference = measure - value;
    switch (comparison) {
    case Comparison::Equal:
        return !(std::fabs(difference) > RealTolerance);
    case Comparison::AtLeast:
        return difference >= -RealTolerance;
    case Comparison::AtMost:
        break;
    }
    return !(difference > RealTolerance);
}

bool KeepsSize(Comparison comparison, const Text& sizeText, const Text& entry) {
    if (comparison == Comparison::Equal)
        return CompareText(sizeText, entry) == 0;
    return KeepsReal(comparison, TextToReal(sizeText), TextToReal(entry));
}

std::optional<Text> FilterInputError(const MainWindow& w) {
    if (!IsTicked(w.选择框1) && !IsTicked(w.选择框2) && !IsTicked(w.选择框3) &&
        !IsTicked(w.选择框4))
        return U8("请选择至少一个筛选条件");

    const auto missing = [](const QCheckBox* box, const QLineEdit* value) {
        return IsTicked(box) && CompareText(ControlText(value), Text()) == 0;
    };
    if (missing(w.选择框1, w.编辑框_宽度))
        return ConcatText(U8("请输入宽度。例如:"), IntToText(ScreenWidth()));
    if (missing(w.选择框2, w.编辑框_高度))
        return ConcatText(U8("请输入高度。例如:"), IntToText(ScreenHeight()));
    if (missing(w.选择框3, w.编辑框_宽高比)) {
        const double ratio =
            static_cast<double>(ScreenWidth()) / static_cast<double>(ScreenHeight());
        return ConcatText(U8("请输入宽高比。例如:"), DoubleToText(ratio));
    }
    if (missing(w.选择框4, w.编辑框_文件大小))
        return U8("请输入文件大小。例如:500");
    return std::nullopt;
}

FilterPassSteps FilterPassSteps::Real() {
    FilterPassSteps steps;
    steps.readFile = [](const Text& path) {
        return ReadWholeFile(path);
    };
    steps.showPreview = [](MainWindow& w, const QByteArray& picture) {
        w.SetPreviewPicture(picture);
    };
    steps.measure = [](const QByteArray& picture) {
        return MeasurePicture(picture);
    };
    return steps;
}

namespace {

// Judges the selected row by the ticked conditions, in the order width, height, aspect ratio,
// file size, each read from its controls now. The first failure decides. The picture is
// measured on first need and the one measurement serves width, height and ratio.
bool RowPasses(const MainWindow& w, const QByteArray& picture,
               const std::function<PictureSize(const QByteArray&)>& measure) {
    std::optional<PictureSize> size;
    const auto measured = [&]() -> const PictureSize& {
        if (!size)
            size = measure(picture);
        return *size;
    };

    if (IsTicked(w.选择框1) &&
        !KeepsInteger(ComparisonFromIndex(ComboIndex(w.组合框1)), measured().width,
                      TextToInt(ControlText(w.编辑框_宽度))))
        return false;
    if (IsTicked(w.选择框2) &&
        !KeepsInteger(ComparisonFromIndex(ComboIndex(w.组合框2)), measured().height,
                      TextToInt(ControlText(w.编辑框_高度))))
        return false;
    if (IsTicked(w.选择框3) &&
        !KeepsReal(ComparisonFromIndex(ComboIndex(w.组合框3)), AspectRatioOf(measured()),
                   TextToReal(ControlText(w.编辑框_宽高比))))
        return false;
    if (IsTicked(w.选择框4) &&
        !KeepsSize(ComparisonFromIndex(ComboIndex(w.组合框4)), w.GetCellText(w.SelectedRow(), 1),
                   ControlText(w.编辑框_文件大小)))
        return false;
    return true;
}

} // namespace

void RunFilterPass(MainWindow& w) {
    RunFilterPassWith(w, FilterPassSteps::Real());
}

void RunFilterPassWith(MainWindow& w, const FilterPassSteps& steps) {
    if (const std::optional<Text> error = FilterInputError(w)) {
        w.ShowMessage(*error, FlagsError, U8("错误"));
        return;
    }

    // The row count is taken once; p moves only past rows that stay, so every row present now
    // is judged exactly once, in list order.
    const int iterations = w.RowCount();
    std::int32_t p = 0;
    QByteArray picture;
    for (int i = 0; i < iterations; ++i) {
        w.FocusList();
        w.SelectRow(p);
        w.EnsureRowVisible(p);
        const Text name = w.GetCellText(w.SelectedRow(), 0);
        picture = steps.readFile(ConcatText(PictureFolder(w), name));
        steps.showPreview(w, picture);
        if (!w.PumpEvents())
            return;
        if (RowPasses(w, picture, steps.measure))
            ++p;
        else
            w.RemoveRow(w.SelectedRow());
    }
    w.UpdateListCaption();
}
