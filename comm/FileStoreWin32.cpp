// The program's files on Windows: wide paths, and a save that replaces the file in one step
// (ReplaceFileW keeps the replaced file's attributes and security).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QString>
#include <algorithm>
#include <cerrno>

#include "comm/FileStore.h"
#include "comm/FileStorePlatform.h"
#include "comm/Win32Text.h"

namespace velor {

std::string fileStorePath(const QString& path) {
    return path.toStdString();
}

namespace {

// The error numbers the program's messages know, from the Windows errors of a failed step.
FileError errorOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return systemError(EACCES);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return systemError(ENOSPC);
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return systemError(ENOENT);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return systemError(EBUSY);
        case ERROR_WRITE_PROTECT:
            return systemError(EROFS);
        default:
            return systemError(EIO);
    }
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

bool writeAll(HANDLE h, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// A saver holds its temporary file open, unshared, while it writes it, so a temporary file that
// can be deleted belongs to no save in progress (in practice: one that was cut short).
void removeStaleTemporaries(const std::wstring& target) {
    const std::wstring pattern =
        target + wideFromUtf8(kSaveTemporaryMarker) + std::wstring(kRandomChars, L'?');
    const auto slash = target.find_last_of(L"\\/");
    const std::wstring directory = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        DeleteFileW((directory + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Writes the bytes to a new temporary file beside the target; its name in `temporary`.
std::optional<FileError> writeTemporary(const std::wstring& target,
                                        std::span<const std::uint8_t> bytes,
                                        std::wstring& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + wideFromUtf8(kSaveTemporaryMarker + randomSuffix());
        Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (!file.valid()) return errorOf(GetLastError());
        if (writeAll(file.get(), bytes) && FlushFileBuffers(file.get())) return std::nullopt;
        return errorOf(GetLastError());  // the caller removes the temporary file
    }
    return systemError(EEXIST);
}

// Puts the temporary file in the target's place. ReplaceFileW keeps the replaced file's
// security and creation time; the attributes are set again after it (Wine's does not carry them
// over), and where it cannot be used the file is moved over.
bool moveIntoPlace(const std::wstring& temporary, const std::wstring& target, DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr) &&
        !MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    SetFileAttributesW(target.c_str(), attributes);
    return true;
}

// The refusal of a save to the target with these attributes (INVALID_FILE_ATTRIBUTES: none
// could be read, the last error tells why).
std::optional<FileError> refusalOf(DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return errorOf(error);
    } else if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        return FileError{FileError::Cause::NotRegularFile, 0};
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        return FileError{FileError::Cause::ReadOnlyFile, 0};
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path,
                                                         std::size_t maxBytes) {
    const std::wstring file = wideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    Handle h(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A device or a pipe ("\\.\COM1", "\\.\pipe\x") could make a read wait: files only.
    if (!h.valid() || GetFileType(h.get()) != FILE_TYPE_DISK) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[4096];
    while (bytes.size() < maxBytes) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(sizeof chunk, maxBytes - bytes.size()));
        if (!ReadFile(h.get(), chunk, want, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

std::optional<FileError> refusalToSave(const std::string& path) {
    return refusalOf(GetFileAttributesW(wideFromUtf8(path).c_str()));
}

std::optional<FileError> saveFileDurably(const std::string& path,
                                         std::span<const std::uint8_t> bytes) {
    const std::wstring target = wideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (const auto refusal = refusalOf(attributes)) return refusal;
    removeStaleTemporaries(target);
    std::wstring temporary;
    if (auto error = writeTemporary(target, bytes, temporary)) {
        DeleteFileW(temporary.c_str());
        return error;
    }
    if (moveIntoPlace(temporary, target, attributes)) return std::nullopt;
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return errorOf(error);
}

}  // namespace velor
