#include "batch/Batch.h"

#include "app/MainWindow.h"
#include "picturelist/PicturePaths.h"

namespace {

// After a move or rename: the caption counts the rows left, the pictures whose operation
// failed, and the closing message says whether there are any.
void ReportRowsLeft(MainWindow& w, const Text& operation) {
    w.UpdateListCaption();
    const int k = w.RowCount();
    if (k == 0)
        w.ShowMessage(ConcatText(U8("所有图片"), operation, U8("完成")), FlagsInformation,
                      U8("提示"));
    else
        w.ShowMessage(ConcatText(operation, U8("已完成，但有"), IntToText(k), U8("个图片无法"),
                                 operation, U8("，请检查是否已被其他程序打开")),
                      FlagsWarning, U8("提示"));
}

} // namespace

void RunBatchOperation(MainWindow& w) {
    if (w.RowCount() == 0) {
        w.ShowMessage(U8("没有图片等待处理"), FlagsInformation, U8("!"));
        return;
    }
    if (IsTicked(w.单选框1))
        DeleteListedPictures(w);
    else if (IsTicked(w.单选框2))
        CopyListedPictures(w);
    else if (IsTicked(w.单选框3))
        MoveListedPictures(w);
    else if (IsTicked(w.单选框4))
        RenameListedPictures(w);
}

bool WalkPictureRows(MainWindow& w, const std::function<bool(const Text& name)>& action) {
    // A window closed while a dialog was open gets no file operation at all.
    if (w.IsClosed())
        return false;
    const int iterations = w.RowCount();
    int p = 0;
    for (int i = 0; i < iterations; ++i) {
        w.FocusList();
        w.SelectRow(p);
        w.EnsureRowVisible(p);
        const Text name = w.GetCellText(w.SelectedRow(), 0);
        if (action(name))
            w.RemoveRow(w.SelectedRow());
        else
            ++p;
        if (!w.PumpEvents())
            return false;
    }
    return true;
}

void DeleteListedPictures(MainWindow& w) {
    const Text question = ConcatText(U8("真的要删除这"), IntToText(w.RowCount()), U8("张图片吗？"));
    if (w.ShowMessage(question, FlagsQuestion, U8("核对")) != ButtonYes)
        return;
    const bool finished = WalkPictureRows(w, [&w](const Text& name) {
        return IsPlainFileName(name) && DeletePictureFile(ConcatText(PictureFolder(w), name));
    });
    if (finished)
        w.UpdateListCaption();
}

void CopyListedPictures(MainWindow& w) {
    const Text destination = ChooseDestinationFolder(w, U8("想把图片复制到哪里去？"));
    if (destination.isEmpty() || w.IsClosed())
        return;
    const int n = w.RowCount();
    int failed = 0;
    for (int r = 0; r < n; ++r) {
        w.FocusList();
        w.SelectRow(r);
        w.EnsureRowVisible(r);
        const Text name = w.GetCellText(w.SelectedRow(), 0);
        const bool copied =
            IsPlainFileName(name) &&
            CopyPictureFile(ConcatText(PictureFolder(w), name), ConcatText(destination, name));
        if (!copied)
            ++failed;
        if (!w.PumpEvents())
            return;
    }
    // Success is reported only when every copy was made.
    if (failed == 0)
        w.ShowMessage(U8("复制完成"), FlagsInformation, U8("提示"));
    else
        w.ShowMessage(ConcatText(U8("复制已完成，但有"), IntToText(failed),
                                 U8("个图片无法复制，请检查是否已被其他程序打开")),
                      FlagsWarning, U8("提示"));
}

void MoveListedPictures(MainWindow& w) {
    const Text destination = ChooseDestinationFolder(w, U8("想把图片剪切到哪里去？"));
    if (destination.isEmpty())
        return;
    const bool finished = WalkPictureRows(w, [&w, &destination](const Text& name) {
        return IsPlainFileName(name) &&
               MovePictureFile(ConcatText(PictureFolder(w), name), ConcatText(destination, name));
    });
    if (finished)
        ReportRowsLeft(w, U8("剪切"));
}

void RenameListedPictures(MainWindow& w) {
    std::int32_t counter = 1;
    const bool finished = WalkPictureRows(w, [&w, &counter](const Text& old) {
        const Text pattern = ControlText(w.编辑框_改名);
        const Text newName = BuildNewPictureName(pattern, counter, old);
        // A name with a separator or one that is "." or ".." would lead out of the folder.
        if (!IsPlainFileName(old) || !IsPlainFileName(newName))
            return false;
        const Text folder = PictureFolder(w);
        const bool renamed =
            RenamePictureFile(ConcatText(folder, old), ConcatText(folder, newName));
        if (renamed)
            ++counter;
        return renamed;
    });
    if (finished)
        ReportRowsLeft(w, U8("改名"));
}

Text ChooseDestinationFolder(MainWindow& w, const Text& prompt) {
    Text path = w.BrowseForFolder(prompt);
    if (path.isEmpty())
        return Text();
    if (RightText(path, 1) != U8("/"))
        path = ConcatText(path, U8("/"));
    return path;
}
