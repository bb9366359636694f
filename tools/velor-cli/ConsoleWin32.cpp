// Windows: bytes written to a console are read in the console's output code page (852 or 437
// by default, not UTF-8), and the C runtime may translate them once more. Text for a console
// therefore goes as UTF-16 through WriteConsoleW; output to a file or a pipe stays UTF-8 bytes.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "tools/velor-cli/Console.h"

namespace velor::cli {

namespace {

HANDLE consoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

bool writeWide(HANDLE console, std::string_view utf8) {
    if (utf8.empty()) return true;
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(static_cast<std::size_t>(size), L'\0');  // never more units than bytes
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), size);
    for (int done = 0; done < units;) {
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(units - done), &written,
                           nullptr) ||
            written == 0)
            return false;
        done += static_cast<int>(written);
    }
    return true;
}

}  // namespace

bool writeText(std::FILE* stream, std::string_view utf8) {
    const HANDLE console = consoleOf(stream);
    if (console == nullptr)
        return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size() &&
               std::fflush(stream) == 0;
    // A character cut by the caller's buffer waits for the rest of it.
    static std::string pending[2];
    std::string& carry = pending[stream == stderr ? 1 : 0];
    carry.append(utf8);
    const std::size_t whole = wholeCharacters(carry);
    const bool ok = writeWide(console, std::string_view(carry).substr(0, whole));
    carry.erase(0, whole);
    if (!ok) errno = EIO;
    return ok;
}

// The system's own platform draws with the system's fonts and needs no window, so it serves
// the report as it is.
void chooseDrawingPlatform() {}

}  // namespace velor::cli
