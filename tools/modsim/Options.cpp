#include "tools/modsim/Options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>

namespace velor::modsim {

std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t low,
                                        std::int64_t high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<HostPort> parseHostPort(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const auto port = parseNumber(text.substr(colon + 1), 0, 65535);
    if (!port) return std::nullopt;
    return HostPort{std::string(host), static_cast<int>(*port)};
}

std::optional<ModuleSpec> parseModuleSpec(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto address = parseNumber(text.substr(0, colon), 0, 31);
    std::string name(text.substr(colon + 1));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto type = parseModuleType(name);
    if (!address || !type) return std::nullopt;
    return ModuleSpec{static_cast<int>(*address), *type};
}

std::optional<LineSetting> parseLineSetting(std::string_view text) {
    static constexpr long kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    const auto comma = text.find(',');
    const auto baud = parseNumber(text.substr(0, comma), 1, 115200);
    if (!baud || std::find(std::begin(kRates), std::end(kRates), *baud) == std::end(kRates)) {
        return std::nullopt;
    }
    LineSetting line{static_cast<long>(*baud), LineSetting::Parity::Any};
    if (comma == std::string_view::npos) return line;
    std::string parity(text.substr(comma + 1));
    for (char& c : parity) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (parity == "even") {
        line.parity = LineSetting::Parity::Even;
    } else if (parity == "none") {
        line.parity = LineSetting::Parity::None;
    } else {
        return std::nullopt;
    }
    return line;
}

std::optional<NegativeSpec> parseNegativeSpec(std::string_view text) {
    const auto at = text.find('@');
    const auto fc = parseNumber(text.substr(0, at), 0, 255);
    if (!fc) return std::nullopt;
    NegativeSpec spec{static_cast<std::uint8_t>(*fc), std::nullopt};
    if (at == std::string_view::npos) return spec;
    const auto address = parseNumber(text.substr(at + 1), 0, 31);
    if (!address) return std::nullopt;
    spec.address = static_cast<int>(*address);
    return spec;
}

// from_chars, not stod: the application object switches to the user's locale.
std::optional<double> parseProbability(std::string_view text) {
    double p = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, p);
    if (text.empty() || ec != std::errc() || ptr != end || std::isnan(p) || p < 0.0 || p > 1.0) {
        return std::nullopt;
    }
    return p;
}

}  // namespace velor::modsim
