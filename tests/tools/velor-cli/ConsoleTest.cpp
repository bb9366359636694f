// velor-cli's console output: whole UTF-8 characters go to a console, the rest waits; a file
// gets the bytes as they are, on every platform.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/velor-cli/Console.h"

namespace {

using velor::cli::wholeCharacters;

TEST(ConsoleTextTest, KeepsBackOnlyACharacterCutAtTheEnd) {
    struct Case {
        std::string text;
        std::size_t whole;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xC4\x8C", 2},                  // Č whole
        {"ab\xC4", 2},                    // Č cut after its lead byte
        {"\xE2\x80\x93", 3},              // an en dash whole
        {"x\xE2\x80", 1},                 // an en dash cut after two of its three bytes
        {"\xF0\x9F\x98\x80", 4},          // four bytes whole
        {"\xF0\x9F\x98", 0},              // four bytes cut after three
        {"\x80\x80\x80\x80\x80", 5},      // no lead byte: not UTF-8, passed on
        {"\xC4\x8C\xC5\xBE\xC3\xA9", 6},  // Čžé
    };
    for (const Case& c : cases) EXPECT_EQ(wholeCharacters(c.text), c.whole) << c.text;
}

TEST(ConsoleTextTest, AFileGetsTheBytesAsTheyAre) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::string text = "\xC4\x8C\x69\x64la-\xC5\xBElut\xC3\xA9.cfa\n";  // Čidla-žluté.cfa
    ASSERT_TRUE(velor::cli::writeText(file, text.substr(0, 1)));              // Č cut in two
    ASSERT_TRUE(velor::cli::writeText(file, text.substr(1)));
    std::rewind(file);
    std::string back(64, '\0');
    back.resize(std::fread(back.data(), 1, back.size(), file));
    std::fclose(file);
    EXPECT_EQ(back, text);
}

}  // namespace
