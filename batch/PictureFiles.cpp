#include "batch/Batch.h"

#include <optional>
#include <string>

#include "picturelist/FileSystem.h"
#include "picturelist/PicturePaths.h"

Text BuildNewPictureName(const Text& pattern, std::int32_t counter, const Text& oldName) {
    const Text base = ReplaceText(pattern, U8("[i]"), IntToText(counter), false);
    return ConcatText(base, FileExtension(oldName));
}

bool IsPlainFileName(const Text& name) {
    if (name.isEmpty())
        return false;
    const std::string path = TextToPath(name);
    if (path.empty() || path == "." || path == ".." ||
        path.find_first_of(std::string("/\0", 2)) != std::string::npos)
        return false;
    // A text that does not come back unchanged would name some other file on disk.
    const std::optional<Text> back = TextFromPath(path);
    return back && *back == name;
}

bool DeletePictureFile(const Text& path) {
    return fsys::DeleteFile(path);
}

bool CopyPictureFile(const Text& source, const Text& target) {
    return fsys::CopyFile(source, target);
}

bool MovePictureFile(const Text& source, const Text& target) {
    // A rename that fails when the target exists, or across file systems.
    if (fsys::RenameNoReplace(source, target))
        return true;
    // The copy refuses a target that is the source itself, so a picture moved onto itself is
    // never deleted. The source is deleted only once the copy is on the disk, and only while
    // its entry still holds the file that was copied: when the destination reaches the picture
    // folder by another way (another mount of it), the copy has just taken the source's place.
    const std::optional<fsys::FileId> copied = fsys::IdentityOf(source);
    if (!copied || !fsys::CopyFile(source, target))
        return false;
    if (fsys::FlushFile(target) && !fsys::SameFile(source, target) &&
        fsys::IdentityOf(source) == copied)
        fsys::DeleteFile(source); // a source that stays leaves the picture in both folders
    return true;
}

bool RenamePictureFile(const Text& oldPath, const Text& newPath) {
    return fsys::RenameNoReplace(oldPath, newPath);
}
