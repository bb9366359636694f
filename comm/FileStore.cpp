#include "comm/FileStore.h"

#include "comm/FileStorePlatform.h"

#include <cstring>
#include <random>
#include <utility>

namespace velor {

std::string describeFileError(const FileError& error) {
    switch (error.cause) {
        case FileError::Cause::ReadOnlyFile:
            return "the file is read-only";
        case FileError::Cause::NotRegularFile:
            return "not a regular file";
        case FileError::Cause::System:
            break;
    }
    return std::strerror(error.code);
}

FileWriteError::FileWriteError(std::string path, FileError error)
    : std::runtime_error("Cannot write " + path + ": " + describeFileError(error)),
      path_(std::move(path)),
      error_(error) {}

FileError systemError(int code) {
    return {FileError::Cause::System, code};
}

std::string randomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string suffix;
    for (int i = 0; i < kRandomChars; ++i) suffix += kChars[pick(generator)];
    return suffix;
}

}  // namespace velor
