#include "picturelist/PicturePaths.h"

#include "app/MainWindow.h"
#include "picturelist/FileSystem.h"

Text PictureFolder(const MainWindow& w) {
    return ControlText(w.编辑框_图片路径);
}

Text FileExtension(const Text& name) {
    // "." is never the trail byte of a double-byte character, so the last one is found by bytes.
    const size_t dot = name.bytes().rfind('.');
    if (dot == std::string::npos)
        return Text();
    return Text::FromBytes(std::string_view(name.bytes()).substr(dot));
}

bool IsPictureName(const Text& name) {
    return FindText(U8(kPictureExtensions), FileExtension(name), true) != -1;
}

QByteArray ReadWholeFile(const Text& path) {
    return fsys::ReadWholeFile(path);
}
