#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>

#include "text/Text.h"

// The program's one file-system layer: every call to the operating system for files goes
// through here. Paths are texts, turned into UTF-8 paths at this edge; a relative path (an
// empty picture folder) resolves against the current directory.
namespace fsys {

// The names of the entries in a folder that are not folders (a link to a folder counts as a
// folder), in the order a file manager shows them (see NaturalCompare). Names that are not
// valid UTF-8 are left out: no text can name them, so no operation could reach that file. The
// empty folder text means the current directory. A folder that cannot be read gives no names.
std::vector<Text> ListFileNames(const Text& folder);

// Compares two names as a file manager orders them: letters without case, runs of digits by
// their numeric value (a2 before a10), ties broken by plain byte order. Negative, 0, positive.
int NaturalCompare(const Text& a, const Text& b);

// The whole content of a regular file; empty for an empty path, a missing file, a folder, a
// file that cannot be opened or read, and a file of length 0. Never blocks on a pipe.
QByteArray ReadWholeFile(const Text& path);

// The length in bytes of a file, or nothing when it cannot be read (missing, a folder).
std::optional<std::uint64_t> FileSizeBytes(const Text& path);

// Deletes a file for good. Refuses a folder, a missing file, and a file whose permission bits
// grant write access to nobody (the read-only attribute); the bits are checked by the program
// itself, so the rule holds for root too.
bool DeleteFile(const Text& path);

// Copies source onto target, replacing a file there. The new content is written beside the
// target and only then put in its place, so a failed copy leaves the old target as it was.
// Fails when source and target are the same file (by device and inode, so links and other
// spellings of one folder are caught), when either is a folder, when the file at the target
// is read-only (no write bit for anyone), which is kept as DeleteFile keeps it, or when the
// target name finds a file of another name (a folder that ignores letter case).
bool CopyFile(const Text& source, const Text& target);

// Gives the file the new path without ever replacing a file there; a folder is refused.
// Renaming a file to the entry it already is succeeds without touching it.
bool RenameNoReplace(const Text& source, const Text& target);

// True when both paths name one existing file (same device and inode).
bool SameFile(const Text& a, const Text& b);

// What identifies a directory entry's file: device and inode (of a link itself, not of what
// it points to).
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
std::optional<FileId> IdentityOf(const Text& path);

// Writes the file and the entry that names it through to the disk.
bool FlushFile(const Text& path);

// True when the path names an existing entry (a file, a folder, or a link).
bool Exists(const Text& path);

} // namespace fsys
