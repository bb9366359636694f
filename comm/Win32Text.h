#pragma once
// Text for the Windows API: the program keeps its paths and names in UTF-8; the wide ("W")
// functions take UTF-16, so no name ever passes through the ANSI code page.

#include <string>

namespace velor {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);

}  // namespace velor
