#pragma once
// The one place where code page 1250 bytes (short texts in records, files and the sensor
// table) and the program's Unicode texts meet. Widgets convert here, nowhere else.

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace velor {

char32_t cp1250ToUnicode(std::uint8_t byte);
// The code page byte of a code point, or -1 where the code page has none.
int unicodeToCp1250(char32_t cp);

std::string cp1250ToUtf8(std::string_view bytes);
// Characters the code page cannot hold become '?'.
std::string utf8ToCp1250(std::string_view text);

// True when code page 1250 holds every character of the text, so that it is stored unchanged.
bool fitsCp1250(const QString& text);

QString cp1250ToQString(std::string_view bytes);
std::string qStringToCp1250(const QString& text);

}  // namespace velor
