#pragma once
// The one way the program reads and writes its files (COM.CFG, ".cfa", ".cfb", the sensor file):
// reads that never wait on a pipe or a device, and a save that changes only the bytes of the file
// it replaces. Paths are in the platform's file name encoding: the bytes of the name on POSIX
// systems (UTF-8 on Linux), UTF-8 on Windows (the names reach the system as wide text, never
// through the ANSI code page). fileStorePath gives that form of a path the program holds.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class QString;

namespace velor {

// A path as the functions below take it.
std::string fileStorePath(const QString& path);

// Why a file could not be written.
struct FileError {
    enum class Cause {
        System,          // `code` holds the error number (errno; Windows errors are mapped)
        ReadOnlyFile,    // the file is marked read-only
        NotRegularFile,  // a directory, pipe or device stands at the path
    };
    Cause cause = Cause::System;
    int code = 0;

    bool operator==(const FileError&) const = default;
};

// The reason in English, for logs and the command-line tool; the windows give their own text.
std::string describeFileError(const FileError& error);

// Thrown by writers that report through exceptions; what() is "Cannot write PATH: reason".
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(std::string path, FileError error);
    const std::string& path() const { return path_; }
    const FileError& error() const { return error_; }

private:
    std::string path_;
    FileError error_;
};

// The first maxBytes bytes of a regular file (all of it when it is shorter). A pipe, a device or
// a directory at the path is not opened (reading it could wait for ever or never end), and
// counts, like a file that cannot be opened or read, as no file: nullopt.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path,
                                                         std::size_t maxBytes);

// Why saveFileDurably would refuse path before writing a byte: anything but a regular file at
// the path (after following symbolic links), or a read-only file. Nothing for a regular file
// it may replace and for a new name. A file that grows after its first save (a table of
// values, a capture) is started with saveFileDurably and then appended to.
std::optional<FileError> refusalToSave(const std::string& path);

// Replaces the file at `path` with `bytes`:
// - a symbolic link is followed and its target replaced, the link stays;
// - the replaced file keeps its mode (and owner where the process may keep it); a new file gets
//   0666 less the umask; on Windows it keeps its attributes (hidden, archive, ...);
// - a read-only file, or anything but a regular file, is refused and left as it is;
// - the bytes go to a temporary file beside the target, are synced, and the temporary file is
//   renamed over the target, whose directory is synced then; a failure leaves the old file;
// - temporary files of earlier saves of the same file that were cut short are removed;
// - where the directory cannot take a new file (no write permission) but the file itself is
//   writable, or the file has further hard links, the file is overwritten in place.
// Returns nothing on success.
std::optional<FileError> saveFileDurably(const std::string& path,
                                         std::span<const std::uint8_t> bytes);

// The part of a temporary file's name between the target's name and six random characters.
inline constexpr const char* kSaveTemporaryMarker = ".velor-save-";

}  // namespace velor
