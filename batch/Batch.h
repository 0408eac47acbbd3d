#pragma once

#include <cstdint>
#include <functional>

#include "text/Text.h"

class MainWindow;

// --- Handlers and the row walk. ---

// The click on "执行": reports an empty list, otherwise runs the operation of the selected
// radio button (delete, copy, move, rename).
void RunBatchOperation(MainWindow& w);

// Runs the action once for every row present when the walk starts, in list order, handing it
// the row's file name. A row whose action returns true is removed; the others stay in their
// order. Returns false when the window was closed meanwhile: the walk then stopped before the
// next file operation, and the caller must show nothing more.
bool WalkPictureRows(MainWindow& w, const std::function<bool(const Text& name)>& action);

// Asks, then deletes every listed picture; the list keeps the pictures that could not be deleted.
void DeleteListedPictures(MainWindow& w);
// Copies every listed picture into a chosen folder; the list stays as it was.
void CopyListedPictures(MainWindow& w);
// Moves every listed picture into a chosen folder; the list keeps the pictures that failed.
void MoveListedPictures(MainWindow& w);
// Renames every listed picture after the pattern in the rename box; the list keeps the failures.
void RenameListedPictures(MainWindow& w);

// Lets the user pick the destination of a copy or move. The chosen folder ends in "/"; the
// empty text means the user cancelled.
Text ChooseDestinationFolder(MainWindow& w, const Text& prompt);

// --- Names and single-file operations; they need no window. ---

// The pattern with every "[i]" (letters without case, only at character boundaries) replaced
// by the counter's digits, followed by the extension of the old name.
Text BuildNewPictureName(const Text& pattern, std::int32_t counter, const Text& oldName);

// True when the name stays inside the folder it is joined to: not empty, not "." or "..", no
// "/" and no NUL, and naming exactly this text on disk.
bool IsPlainFileName(const Text& name);

// Deletes a file for good; a read-only file (no write bit for anyone) is refused.
bool DeletePictureFile(const Text& path);
// Copies source onto target, replacing a file there. Never copies a file onto itself.
bool CopyPictureFile(const Text& source, const Text& target);
// Moves source to target: a rename that cannot replace, else a copy onto target followed by
// deleting the source. True when the picture reached the target, even if the source could not
// be deleted afterwards. The only copy of a picture is never deleted.
bool MovePictureFile(const Text& source, const Text& target);
// Gives the file a new path, never replacing a file. The name it already bears succeeds.
bool RenamePictureFile(const Text& oldPath, const Text& newPath);
