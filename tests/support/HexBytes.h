#pragma once
// Hex strings for byte images in the link tests: "68 03 03 68" -> {0x68, 0x03, 0x03, 0x68}.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace velor::test {

inline std::vector<std::uint8_t> hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::istringstream in(text);
    std::string token;
    while (in >> token) out.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    return out;
}

inline std::string toHex(const std::uint8_t* data, std::size_t count) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

inline std::string toHex(const std::vector<std::uint8_t>& v) {
    return toHex(v.data(), v.size());
}

}  // namespace velor::test
