#include "picturelist/PictureList.h"

#include "app/MainWindow.h"
#include "picturelist/FileSize.h"
#include "picturelist/FileSystem.h"
#include "picturelist/PicturePaths.h"

namespace {

const char* const kAllFiles = "*.*";

} // namespace

Text FileEnumeration::first(const Text& pattern) {
    close();
    // The pattern matches every name; what is left of it once "*.*" is taken off is the folder.
    const Text all = U8(kAllFiles);
    Text folder = pattern;
    if (CompareText(RightText(pattern, all.size()), all) == 0)
        folder = Text::FromBytes(std::string_view(pattern.bytes())
                                     .substr(0, pattern.bytes().size() - all.bytes().size()));
    names_ = fsys::ListFileNames(folder);
    position_ = 0;
    open_ = true;
    return take();
}

Text FileEnumeration::next() {
    if (!open_)
        return Text();
    return take();
}

void FileEnumeration::close() {
    names_.clear();
    names_.shrink_to_fit();
    position_ = 0;
    open_ = false;
}

Text FileEnumeration::take() {
    if (position_ >= names_.size()) {
        close();
        return Text();
    }
    return names_[position_++];
}

Text BrowseForFolder(MainWindow& w, const Text& title) {
    return w.BrowseForFolder(title);
}

void ChoosePictureFolder(MainWindow& w) {
    const Text chosen = BrowseForFolder(w, U8("请指定图片所在目录"));
    if (CompareText(chosen, Text()) == 0)
        return;
    const Text separator = U8("/");
    const Text folder =
        CompareText(RightText(chosen, 1), separator) == 0 ? chosen : ConcatText(chosen, separator);
    SetControlText(w.编辑框_图片路径, folder);
    FillPictureList(w);
}

void FillPictureList(MainWindow& w) {
    w.ClearRows();
    FileEnumeration files;
    Text name = files.first(ConcatText(PictureFolder(w), U8(kAllFiles)));
    while (!name.isEmpty()) {
        if (IsPictureName(name)) {
            const int row = w.InsertRow(name);
            const Text path = ConcatText(PictureFolder(w), name);
            w.SetCellText(row, 1, SingleToText(MeasureFileSizeKb(path)));
            w.UpdateListCaption();
            // The window was closed: stop here and touch no further file.
            if (!w.PumpEvents())
                return;
        }
        name = files.next();
    }
    files.close();
    w.UpdateListCaption();
}

void ShowPreview(MainWindow& w, const Text& path) {
    w.SetPreviewPicture(ReadWholeFile(path));
}

void PreviewClickedRow(MainWindow& w) {
    const int row = w.SelectedRow();
    const Text name = row < 0 ? Text() : w.GetCellText(row, 0);
    ShowPreview(w, ConcatText(PictureFolder(w), name));
}
