#pragma once
// What velor-cli needs of the console it runs in: its texts are UTF-8 (Czech file names, sensor
// names, messages) and must reach a console as the characters they are, and the service report
// draws its PDF with fonts but no window. writeText and chooseDrawingPlatform have one
// implementation per platform, chosen by CMake.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <streambuf>
#include <string_view>

namespace velor::cli {

// Writes UTF-8 text to stream (stdout or stderr) and flushes it: to a console as characters,
// whatever the console's code page, elsewhere (a file, a pipe) as the bytes. False when the
// write failed, with errno telling why.
bool writeText(std::FILE* stream, std::string_view utf8);

// How much of text ends on a whole UTF-8 character: a console is handed whole characters only,
// and the rest waits for the next write.
std::size_t wholeCharacters(std::string_view text);

// For the life of the command std::cerr writes through writeText.
class ConsoleSession {
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

private:
    std::unique_ptr<std::streambuf> errors_;
    std::streambuf* previous_ = nullptr;
};

// Chooses the platform the report draws on before the GUI application exists, unless the
// user chose one (QT_QPA_PLATFORM).
void chooseDrawingPlatform();

}  // namespace velor::cli
