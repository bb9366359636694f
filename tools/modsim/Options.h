#pragma once
// Texts of the command-line switches, checked without Qt so that tests can table them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/modsim/ModuleModel.h"

namespace velor::modsim {

struct HostPort {
    std::string host;
    int port = 0;
};

struct ModuleSpec {
    int address = 0;
    ModuleType type = ModuleType::Kalu;
};

// The line a module listens on: a baud rate and, when given, a parity.
struct LineSetting {
    enum class Parity { Any, Even, None };
    long baud = 0;
    Parity parity = Parity::Any;
};

struct NegativeSpec {
    std::uint8_t functionCode = 0;
    std::optional<int> address;  // every module when absent
};

// "HOST:PORT", PORT 0..65535 (0 = any free port); the last colon splits, "[::1]:5" works too.
std::optional<HostPort> parseHostPort(std::string_view text);
// "ADDR:TYPE", ADDR 0..31, TYPE one of KALU TEV TEW TEVW MOKR ZEPA (any letter case).
std::optional<ModuleSpec> parseModuleSpec(std::string_view text);
// "BAUD" or "BAUD,PARITY"; BAUD one of 1200..115200 a terminal knows, PARITY even or none.
std::optional<LineSetting> parseLineSetting(std::string_view text);
// "FC" or "FC@ADDR"; FC 0..255 in decimal or 0x hex, ADDR 0..31.
std::optional<NegativeSpec> parseNegativeSpec(std::string_view text);
// A probability 0..1.
std::optional<double> parseProbability(std::string_view text);
// A whole number in [low, high], decimal or 0x hex.
// 64 bits wide: a seed goes up to 0xFFFFFFFF, which a long of Windows cannot hold.
std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t low, std::int64_t high);

}  // namespace velor::modsim
