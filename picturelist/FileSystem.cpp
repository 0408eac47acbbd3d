#include "picturelist/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fsys {

namespace {

// An open file descriptor, closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// A path for the operating system. The empty path and one the text cannot name give "", which
// every call below refuses.
std::string OsPath(const Text& path) {
    return path.isEmpty() ? std::string() : TextToPath(path);
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// Opens a file for reading only when it is a regular file; O_NONBLOCK keeps a pipe from
// blocking the open, and is dropped again once the file is known to be regular.
Fd OpenRegularForReading(const std::string& path, struct stat* st) {
    if (path.empty())
        return Fd();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid() || ::fstat(fd.get(), st) != 0 || !S_ISREG(st->st_mode))
        return Fd();
    const int flags = ::fcntl(fd.get(), F_GETFL);
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return Fd(::dup(fd.get()));
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CopyContent(int from, int to, off_t size) {
    // The kernel copies without passing the bytes through the program where it can.
    off_t left = size;
    while (left > 0) {
        const ssize_t n =
            ::copy_file_range(from, nullptr, to, nullptr, static_cast<size_t>(left), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break; // not supported here: fall back to reading and writing
        }
        if (n == 0)
            break;
        left -= n;
    }
    if (left == 0) {
        // The file may have grown since it was measured; copy whatever is left.
        char probe[1];
        if (::pread(from, probe, 1, size) == 0)
            return true;
    }
    const off_t done = size - left;
    if (::lseek(from, done, SEEK_SET) != done || ::lseek(to, done, SEEK_SET) != done)
        return false;
    // Where the kernel cannot copy directly (across some file systems), copy through a buffer
    // that is not cleared first: every byte written to it is read in before.
    constexpr size_t kChunk = 1 << 18;
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const ssize_t n = ::read(from, buffer.get(), kChunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        if (!WriteAll(to, buffer.get(), static_cast<size_t>(n)))
            return false;
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when the folder holds an entry of exactly this name, byte for byte.
bool HasEntryNamed(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir))
        if (name == entry->d_name) {
            found = true;
            break;
        }
    ::closedir(dir);
    return found;
}

} // namespace

int NaturalCompare(const Text& a, const Text& b) {
    const std::string& x = a.bytes();
    const std::string& y = b.bytes();
    // Bytes in one character of a text: a byte of 0x80 or above leads two bytes, or four when
    // the next byte is a digit (the four-byte codes of GB18030).
    const auto charLength = [](const std::string& s, size_t at) -> size_t {
        if (static_cast<unsigned char>(s[at]) < 0x80)
            return 1;
        const bool fourBytes = at + 1 < s.size() && IsDigit(static_cast<unsigned char>(s[at + 1]));
        return std::min<size_t>(fourBytes ? 4 : 2, s.size() - at);
    };
    size_t i = 0;
    size_t j = 0;
    while (i < x.size() && j < y.size()) {
        const auto cx = static_cast<unsigned char>(x[i]);
        const auto cy = static_cast<unsigned char>(y[j]);
        // A character beyond ASCII is compared whole, by its bytes: its trail bytes may look like
        // ASCII letters or digits, but they are neither.
        if (cx >= 0x80 && cy >= 0x80) {
            const size_t nx = charLength(x, i);
            const size_t ny = charLength(y, j);
            const int c = x.compare(i, nx, y, j, ny);
            if (c != 0)
                return c < 0 ? -1 : 1;
            i += nx;
            j += ny;
            continue;
        }
        if (IsDigit(cx) && IsDigit(cy)) {
            size_t si = i;
            size_t sj = j;
            while (si < x.size() && x[si] == '0')
                ++si;
            while (sj < y.size() && y[sj] == '0')
                ++sj;
            size_t ei = si;
            size_t ej = sj;
            while (ei < x.size() && IsDigit(static_cast<unsigned char>(x[ei])))
                ++ei;
            while (ej < y.size() && IsDigit(static_cast<unsigned char>(y[ej])))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            const int digits = x.compare(si, ei - si, y, sj, ej - sj);
            if (digits != 0)
                return digits < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (FoldAscii(cx) != FoldAscii(cy))
            return FoldAscii(cx) < FoldAscii(cy) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < x.size() || j < y.size())
        return i < x.size() ? 1 : -1;
    const int plain = x.compare(y);
    return plain < 0 ? -1 : plain > 0 ? 1 : 0;
}

std::vector<Text> ListFileNames(const Text& folder) {
    std::vector<Text> names;
    const std::string path = folder.isEmpty() ? std::string(".") : TextToPath(folder);
    if (path.empty())
        return names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (entry->d_type == DT_DIR)
            continue;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode))
                continue;
        }
        if (std::optional<Text> text = TextFromPath(name))
            names.push_back(std::move(*text));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const Text& a, const Text& b) { return NaturalCompare(a, b) < 0; });
    return names;
}

QByteArray ReadWholeFile(const Text& path) {
    struct stat st;
    Fd fd = OpenRegularForReading(OsPath(path), &st);
    if (!fd.valid())
        return QByteArray();
    QByteArray data;
    data.reserve(static_cast<qsizetype>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return QByteArray();
        }
        if (n == 0)
            break;
        data.append(chunk, n);
    }
    return data;
}

std::optional<std::uint64_t> FileSizeBytes(const Text& path) {
    const std::string p = OsPath(path);
    struct stat st;
    if (p.empty() || ::stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool DeleteFile(const Text& path) {
    const std::string p = OsPath(path);
    struct stat st;
    if (p.empty() || ::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::unlink(p.c_str()) == 0;
}

bool CopyFile(const Text& source, const Text& target) {
    const std::string from = OsPath(source);
    const std::string to = OsPath(target);
    if (from.empty() || to.empty())
        return false;
    struct stat src;
    Fd in = OpenRegularForReading(from, &src);
    if (!in.valid())
        return false;
    struct stat dst;
    if (::stat(to.c_str(), &dst) == 0) {
        if (S_ISDIR(dst.st_mode))
            return false;
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
            return false; // copying a file onto itself would only destroy it
        if ((dst.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return false; // a read-only file is never replaced, as it is never deleted
        // On a folder that ignores letter case (a USB stick) the target name can find a file
        // of another name, such as a picture copied there a moment before; only a file of
        // exactly this name is replaced.
        if (!HasEntryNamed(FolderOf(to), NameOf(to)))
            return false;
    }

    // Write beside the target under a temporary name, then put it in place in one step. The
    // temporary name is short, so a target whose name is near the length limit can be copied.
    std::string temp = FolderOf(to) + "/.copy-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid())
        return false;
    bool ok = CopyContent(in.get(), out.get(), src.st_size);
    // The permission bits follow the source where the file system can hold them (FAT cannot,
    // and the copy is no less complete for that).
    if (ok)
        ::fchmod(out.get(), src.st_mode & 07777);
    // The target may have become the source itself meanwhile (a folder link swapped in).
    if (ok && ::stat(to.c_str(), &dst) == 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
        ok = false;
    ok = ok && ::rename(temp.c_str(), to.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool RenameNoReplace(const Text& source, const Text& target) {
    const std::string from = OsPath(source);
    const std::string to = OsPath(target);
    if (from.empty() || to.empty())
        return false;
    struct stat src;
    if (::lstat(from.c_str(), &src) != 0 || S_ISDIR(src.st_mode))
        return false; // a folder that took a file's name is not the picture

    // The same entry under its own name: nothing to do, and the file bears the name already.
    struct stat fromDir;
    struct stat toDir;
    if (NameOf(from) == NameOf(to) && ::stat(FolderOf(from).c_str(), &fromDir) == 0 &&
        ::stat(FolderOf(to).c_str(), &toDir) == 0 && fromDir.st_dev == toDir.st_dev &&
        fromDir.st_ino == toDir.st_ino)
        return true;

    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

bool SameFile(const Text& a, const Text& b) {
    const std::string x = OsPath(a);
    const std::string y = OsPath(b);
    struct stat sa;
    struct stat sb;
    return !x.empty() && !y.empty() && ::stat(x.c_str(), &sa) == 0 && ::stat(y.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::optional<FileId> IdentityOf(const Text& path) {
    const std::string p = OsPath(path);
    struct stat st;
    if (p.empty() || ::lstat(p.c_str(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool FlushFile(const Text& path) {
    const std::string p = OsPath(path);
    if (p.empty())
        return false;
    Fd file(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    Fd folder(::open(FolderOf(p).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return file.valid() && ::fsync(file.get()) == 0 && folder.valid() && ::fsync(folder.get()) == 0;
}

bool Exists(const Text& path) {
    const std::string p = OsPath(path);
    struct stat st;
    return !p.empty() && ::lstat(p.c_str(), &st) == 0;
}

} // namespace fsys
