#pragma once
// One emulated field module: a memory map per area (1 = configuration, 2 = live data) laid out
// the way the program reads it, with inputs that move over time and outputs that keep what was
// written. Time comes in from outside (milliseconds since start) so tests need no clock.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velor::modsim {

enum class ModuleType { Kalu, Tev, Tew, Tevw, Mokr, Zepa };

std::optional<ModuleType> parseModuleType(std::string_view name);
std::string_view moduleTypeName(ModuleType type);

inline constexpr std::uint8_t kConfigArea = 1;
inline constexpr std::uint8_t kDataArea = 2;

// Live-data layouts (area 2, byte offsets).
inline constexpr std::size_t kKaluInputs = 0x00;   // 12 singles
inline constexpr std::size_t kKaluOutputs = 0x30;  // 6 bytes
inline constexpr std::size_t kKaluDataSize = 0x40;
inline constexpr std::size_t kTevDataSize = 100;   // W0, W1, three sets of 16 words
inline constexpr std::size_t kTevwDataSize = 102;  // W0, W1, W2, three sets of 16 words
inline constexpr std::size_t kTevwOutputWord = 4;
inline constexpr std::size_t kTewDataSize = 2;      // relay word
inline constexpr std::size_t kMokrCounters = 0x10;  // set s, piggy k: 0x10 + 0x80 * s + 16 * k
inline constexpr std::size_t kMokrOutputs = 0x190;  // 8 output piggy bytes
inline constexpr std::size_t kMokrDataSize = 0x198;

// Configuration areas: KALU takes two halves (0x80 + 0xC0 bytes), the binary modules one block
// of 0x88, MOKR announces 0xE8, ZEPA sends 10 of its 24 prepared bytes.
inline constexpr std::size_t kKaluConfigSize = 0x140;
inline constexpr std::size_t kBinaryConfigSize = 0x88;
inline constexpr std::size_t kMokrConfigSize = 0xE8;
inline constexpr std::size_t kZepaConfigSize = 24;

class Module {
public:
    explicit Module(ModuleType type);

    ModuleType type() const { return type_; }
    std::size_t areaSize(std::uint8_t area) const;
    bool covers(std::uint8_t area, std::uint16_t start, std::size_t count) const;

    // Both expect covers() to hold; read brings the inputs up to nowMs first.
    std::vector<std::uint8_t> read(std::uint8_t area, std::uint16_t start, std::size_t count,
                                   std::int64_t nowMs);
    void write(std::uint8_t area, std::uint16_t start, std::span<const std::uint8_t> data);

private:
    std::vector<std::uint8_t>* areaBytes(std::uint8_t area);
    void refresh(std::int64_t nowMs);
    void refreshKalu(std::int64_t nowMs);
    void refreshTev(std::int64_t nowMs, std::size_t setBase, int inputs);
    void refreshMokr(std::int64_t nowMs);

    ModuleType type_;
    std::vector<std::uint8_t> config_;
    std::vector<std::uint8_t> data_;
};

// Input n (1-based) of a binary module at time t: a square wave with a period of its own, so
// the inputs toggle at different rates and the counters rise at different speeds.
bool inputState(int n, std::int64_t nowMs);
std::uint16_t risingEdges(int n, std::int64_t nowMs);
// KALU input i (1-based): a slow sine around 10 * i, distinct for every input.
float kaluInput(int i, std::int64_t nowMs);

}  // namespace velor::modsim
