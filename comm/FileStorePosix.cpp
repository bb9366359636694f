// The program's files on POSIX systems: modes, owners, symbolic and hard links kept; the
// replacement renamed into place and synced.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <algorithm>
#include <cerrno>

#include "comm/FileStore.h"
#include "comm/FileStorePlatform.h"

namespace velor {

std::string fileStorePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

namespace {

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file they name, which need not exist yet.
std::optional<std::string> resolveLinks(std::string path, int& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return path;
            error = errno;
            return std::nullopt;
        }
        if (!S_ISLNK(st.st_mode)) return path;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) {
            error = errno;
            return std::nullopt;
        }
        target.resize(static_cast<std::size_t>(n));
        path = (!target.empty() && target[0] == '/') ? target : directoryOf(path) + "/" + target;
    }
    error = ELOOP;
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> readUpTo(int fd, std::size_t maxBytes) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[4096];
    while (bytes.size() < maxBytes) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, maxBytes - bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

// Root may write any file, so for root the mode bits decide: no write bit means read-only.
std::optional<FileError> refusalOf(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return FileError{FileError::Cause::NotRegularFile, 0};
    if (::geteuid() == 0) {
        if ((st.st_mode & 0222) == 0) return FileError{FileError::Cause::ReadOnlyFile, 0};
        return std::nullopt;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return std::nullopt;
    if (errno == EACCES) return FileError{FileError::Cause::ReadOnlyFile, 0};
    return systemError(errno);
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Closes the descriptor; the error of a failed step is kept.
std::optional<FileError> closeKeeping(int fd, bool ok) {
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!ok) return systemError(error);
    if (!closed) return systemError(errno);
    return std::nullopt;
}

// The fallback: same inode, same mode, owner and links, but not atomic. The new bytes are
// written before the file is cut to their length, so an equally long file never reads empty.
std::optional<FileError> writeInPlace(const std::string& path,
                                      std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return systemError(errno);
    const bool ok = writeAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
                    ::fsync(fd) == 0;
    return closeKeeping(fd, ok);
}

bool sameFile(int fd, const std::string& path) {
    struct stat byFd {
    }, byPath{};
    return ::fstat(fd, &byFd) == 0 && ::lstat(path.c_str(), &byPath) == 0 &&
           byFd.st_dev == byPath.st_dev && byFd.st_ino == byPath.st_ino;
}

// A saver holds a lock on its temporary file until it is renamed or removed, so a temporary
// file nobody holds was left by a save that was cut short (a kill, a crash, a power cut).
void removeStaleTemporaries(const std::string& directory, const std::string& name) {
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) return;
    const std::string prefix = name + kSaveTemporaryMarker;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate.size() != prefix.size() + kRandomChars || candidate.rfind(prefix, 0) != 0)
            continue;
        const std::string path = directory + "/" + candidate;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, path)) ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

// Creates and locks a new temporary file beside the target; -1 with errno set on failure.
int createTemporary(const std::string& target, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + kSaveTemporaryMarker + randomSuffix();
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return -1;
        // Another saver's clean-up may have taken the file between the creation and the lock.
        if (::flock(fd, LOCK_EX) == 0 && sameFile(fd, temporary)) return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// The replaced file's mode and owner for the temporary file; false when the owner cannot be
// kept (the file then has to be written in place).
bool keepModeAndOwner(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

void syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // the rename stands; a directory we may not read cannot be synced
    ::fsync(fd);
    ::close(fd);
}

std::optional<FileError> replaceThroughTemporary(const std::string& target, const struct stat* old,
                                                 std::span<const std::uint8_t> bytes) {
    std::string temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0) {
        const int error = errno;
        if (old != nullptr && (error == EACCES || error == EPERM))
            return writeInPlace(target, bytes);
        return systemError(error);
    }
    if (old != nullptr && !keepModeAndOwner(fd, *old)) {
        ::unlink(temporary.c_str());
        ::close(fd);
        return writeInPlace(target, bytes);
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool renamed = written && ::rename(temporary.c_str(), target.c_str()) == 0;
    const int error = errno;
    if (!renamed) ::unlink(temporary.c_str());
    ::close(fd);  // after the rename or the removal, so the lock covers the whole save
    if (!renamed) return systemError(error);
    syncDirectory(directoryOf(target));
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path,
                                                         std::size_t maxBytes) {
    // Non-blocking, so that opening a pipe with no writer does not wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::vector<std::uint8_t>> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes = readUpTo(fd, maxBytes);
    ::close(fd);
    return bytes;
}

namespace {

// The file a save of path writes (links followed) and its state; the refusal when there is one.
struct SaveTarget {
    std::string path;
    bool exists = false;
    struct stat old {};
};

std::optional<FileError> examineTarget(const std::string& path, SaveTarget& target) {
    int error = 0;
    const std::optional<std::string> resolved = resolveLinks(path, error);
    if (!resolved) return systemError(error);
    target.path = *resolved;
    target.exists = ::stat(target.path.c_str(), &target.old) == 0;
    if (!target.exists && errno != ENOENT) return systemError(errno);
    if (target.exists) return refusalOf(target.path, target.old);
    return std::nullopt;
}

}  // namespace

std::optional<FileError> refusalToSave(const std::string& path) {
    SaveTarget target;
    return examineTarget(path, target);
}

std::optional<FileError> saveFileDurably(const std::string& path,
                                         std::span<const std::uint8_t> bytes) {
    SaveTarget target;
    if (const auto refusal = examineTarget(path, target)) return refusal;
    removeStaleTemporaries(directoryOf(target.path), nameOf(target.path));
    // Renaming a new file over one of several hard links would split it from the others.
    if (target.exists && target.old.st_nlink > 1) return writeInPlace(target.path, bytes);
    return replaceThroughTemporary(target.path, target.exists ? &target.old : nullptr, bytes);
}

}  // namespace velor
