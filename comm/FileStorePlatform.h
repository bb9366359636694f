#pragma once
// What the platform halves of the file store (FileStorePosix.cpp, FileStoreWin32.cpp) share.

#include <string>

#include "comm/FileStore.h"

namespace velor {

// Length of the random part of a temporary file's name.
inline constexpr int kRandomChars = 6;

// A FileError of cause System with the error number code.
FileError systemError(int code);

// kRandomChars random letters and digits.
std::string randomSuffix();

}  // namespace velor
