// The code page 1250 conversion against the system's iconv, for every byte value.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ui/Cp1250.h"

namespace velor {
namespace {

// UTF-8 text of one code page byte according to iconv; empty when iconv refuses it.
std::string iconvByte(unsigned byte) {
    char cmd[128];
    std::snprintf(cmd, sizeof cmd, "printf '\\%03o' | iconv -f CP1250 -t UTF-8 2>/dev/null", byte);
    FILE* pipe = popen(cmd, "r");
    if (!pipe) return {};
    std::string out;
    char buf[16];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    return pclose(pipe) == 0 ? out : std::string();
}

TEST(Cp1250, AllBytesAgreeWithIconv) {
    if (std::system("command -v iconv >/dev/null 2>&1") != 0) GTEST_SKIP() << "no iconv";
    int undefined = 0;
    for (unsigned b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        const std::string expected = iconvByte(b);
        const std::string byte(1, static_cast<char>(b));
        if (expected.empty() && b != 0) {
            ++undefined;  // a byte the code page leaves undefined
            continue;
        }
        const std::string utf8 = b == 0 ? std::string(1, '\0') : expected;
        EXPECT_EQ(cp1250ToUtf8(byte), utf8);
        EXPECT_EQ(utf8ToCp1250(utf8), byte);
        const char32_t cp = cp1250ToUnicode(static_cast<std::uint8_t>(b));
        EXPECT_EQ(unicodeToCp1250(cp), static_cast<int>(b));
        EXPECT_EQ(qStringToCp1250(cp1250ToQString(byte)), byte);
    }
    EXPECT_EQ(undefined, 5);
}

TEST(Cp1250, CzechTextsRoundTrip) {
    const std::string text = "Konfigurační moduly ÷ °C Nedefinován Úroveň";
    const std::string bytes = utf8ToCp1250(text);
    EXPECT_EQ(bytes.size(), 43u);
    EXPECT_EQ(cp1250ToUtf8(bytes), text);
    EXPECT_EQ(utf8ToCp1250("€ ☃"), "\x80 ?");
}

TEST(Cp1250, TextsThatFitTheCodePage) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"", true},
        {u"Čerpadlo č. 3 – tlak ≥", false},  // U+2265 is not in the code page
        {u"Čerpadlo č. 3 – tlak € §", true},
        {u"Насос", false},
        {u"IN \U0001F600", false},  // a surrogate pair: one character, not two
        {u"lone \xD800 surrogate", false},
        {u"µ ß ý", true},
    };
    for (const auto& [text, fits] : cases) {
        const QString q = QString::fromUtf16(text);
        EXPECT_EQ(fitsCp1250(q), fits) << q.toStdString();
    }
}

}  // namespace
}  // namespace velor
