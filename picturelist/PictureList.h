#pragma once

#include <cstddef>
#include <vector>

#include "text/Text.h"

class MainWindow;

// One walk over the files of a folder. The names are read and put in natural order once, when
// the walk starts; folders and names that are not valid UTF-8 are never returned.
class FileEnumeration {
public:
    // Starts a new walk. The pattern is a folder text followed by "*.*" (just "*.*" for the
    // current directory). Returns the first name, or the empty text when the folder holds no file
    // or cannot be read; the walk is then closed already.
    Text first(const Text& pattern);
    // The next name, or the empty text (and the walk closes) when there is none left.
    Text next();
    void close();
    bool isOpen() const { return open_; }

private:
    Text take();

    std::vector<Text> names_;
    std::size_t position_ = 0;
    bool open_ = false;
};

// Lets the user pick a folder through the window's dialogs: its path, or the empty text on
// cancel. The root comes back as "/", any other folder without a trailing separator.
Text BrowseForFolder(MainWindow& w, const Text& title);

// Click on "...": asks for the picture folder, stores it with a trailing "/" and rescans.
void ChoosePictureFolder(MainWindow& w);

// Rebuilds the list from the picture files of the picture folder, one row at a time with its
// size, letting the window repaint after each row. Stops at once when the window is closed.
void FillPictureList(MainWindow& w);

// Shows the picture in the file at path in the preview box; clears it when there is none.
void ShowPreview(MainWindow& w, const Text& path);

// Left click in the list: previews the selected row's file, or clears the preview when no row
// is selected.
void PreviewClickedRow(MainWindow& w);
