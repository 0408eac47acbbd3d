#pragma once

#include <QByteArray>

#include "text/Text.h"

class MainWindow;

// The extensions of the files the scan lists, searched as one text.
inline constexpr const char* kPictureExtensions = ".jpg|.jpeg|.bmp|.png|.gif|.tiff|.ico";

// The folder of the pictures: the text of the path box, read afresh at every call. The folder
// browser leaves it ending in the folder separator; paths are built by plain concatenation.
Text PictureFolder(const MainWindow& w);

// The extension of a file name: from its last "." to its end, dot included; the empty text when
// the name has no dot.
Text FileExtension(const Text& name);

// True when the name's extension occurs anywhere in kPictureExtensions, letters compared without
// case (so ".tif", ".jp" and the empty extension of a name without a dot pass too).
bool IsPictureName(const Text& name);

// The whole content of a file, or the empty buffer when it cannot be read.
QByteArray ReadWholeFile(const Text& path);
