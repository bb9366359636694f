#include "tools/modsim/ModuleModel.h"

#include <array>
#include <bit>
#include <cmath>
#include <utility>

namespace velor::modsim {

namespace {

constexpr std::array<std::pair<std::string_view, ModuleType>, 6> kTypeNames{{
    {"KALU", ModuleType::Kalu},
    {"TEV", ModuleType::Tev},
    {"TEW", ModuleType::Tew},
    {"TEVW", ModuleType::Tevw},
    {"MOKR", ModuleType::Mokr},
    {"ZEPA", ModuleType::Zepa},
}};

void putU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void putF32(std::vector<std::uint8_t>& bytes, std::size_t at, float v) {
    const auto bits = std::bit_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int64_t inputPeriodMs(int n) {
    return 400 + 150 * static_cast<std::int64_t>(n);
}

// Counters stay below the 32767 that the program shows as blank.
constexpr std::uint16_t kCounterWrap = 30000;

std::uint16_t inputWord(std::int64_t nowMs, int inputs) {
    std::uint16_t word = 0;
    for (int n = 1; n <= inputs; ++n) {
        if (inputState(n, nowMs)) word = static_cast<std::uint16_t>(word | (1u << (n - 1)));
    }
    return word;
}

}  // namespace

std::optional<ModuleType> parseModuleType(std::string_view name) {
    for (const auto& [text, type] : kTypeNames) {
        if (text == name) return type;
    }
    return std::nullopt;
}

std::string_view moduleTypeName(ModuleType type) {
    for (const auto& [text, t] : kTypeNames) {
        if (t == type) return text;
    }
    return "?";
}

bool inputState(int n, std::int64_t nowMs) {
    const std::int64_t period = inputPeriodMs(n);
    return (nowMs % period) >= period / 2;
}

std::uint16_t risingEdges(int n, std::int64_t nowMs) {
    return static_cast<std::uint16_t>((nowMs / inputPeriodMs(n)) % kCounterWrap);
}

float kaluInput(int i, std::int64_t nowMs) {
    const double period = 20000.0 + 1000.0 * i;
    const double phase = 6.283185307179586 * static_cast<double>(nowMs) / period;
    return static_cast<float>(10.0 * i + 2.0 * std::sin(phase));
}

Module::Module(ModuleType type) : type_(type) {
    switch (type) {
        case ModuleType::Kalu:
            config_.resize(kKaluConfigSize);
            data_.resize(kKaluDataSize);
            break;
        case ModuleType::Tev:
            config_.resize(kBinaryConfigSize);
            data_.resize(kTevDataSize);
            break;
        case ModuleType::Tew:
            config_.resize(kBinaryConfigSize);
            data_.resize(kTewDataSize);
            break;
        case ModuleType::Tevw:
            config_.resize(kBinaryConfigSize);
            data_.resize(kTevwDataSize);
            break;
        case ModuleType::Mokr:
            config_.resize(kMokrConfigSize);
            data_.resize(kMokrDataSize);
            break;
        case ModuleType::Zepa:
            config_.resize(kZepaConfigSize);  // no live data
            break;
    }
}

std::vector<std::uint8_t>* Module::areaBytes(std::uint8_t area) {
    if (area == kConfigArea) return &config_;
    if (area == kDataArea) return &data_;
    return nullptr;
}

std::size_t Module::areaSize(std::uint8_t area) const {
    if (area == kConfigArea) return config_.size();
    if (area == kDataArea) return data_.size();
    return 0;
}

bool Module::covers(std::uint8_t area, std::uint16_t start, std::size_t count) const {
    const std::size_t size = areaSize(area);
    return count > 0 && start < size && count <= size - start;
}

std::vector<std::uint8_t> Module::read(std::uint8_t area, std::uint16_t start, std::size_t count,
                                       std::int64_t nowMs) {
    auto* bytes = areaBytes(area);
    if (bytes == nullptr || !covers(area, start, count)) return {};
    if (area == kDataArea) refresh(nowMs);
    return {bytes->begin() + start, bytes->begin() + start + static_cast<std::ptrdiff_t>(count)};
}

void Module::write(std::uint8_t area, std::uint16_t start, std::span<const std::uint8_t> data) {
    auto* bytes = areaBytes(area);
    if (bytes == nullptr || !covers(area, start, data.size())) return;
    std::copy(data.begin(), data.end(), bytes->begin() + start);
}

void Module::refresh(std::int64_t nowMs) {
    switch (type_) {
        case ModuleType::Kalu:
            refreshKalu(nowMs);
            break;
        case ModuleType::Tev:
            refreshTev(nowMs, 4, 16);
            break;
        case ModuleType::Tevw:
            refreshTev(nowMs, 6, 8);  // W2 at offset 4 holds the written outputs
            break;
        case ModuleType::Mokr:
            refreshMokr(nowMs);
            break;
        case ModuleType::Tew:  // the relay word is what was last written
        case ModuleType::Zepa:
            break;
    }
}

void Module::refreshKalu(std::int64_t nowMs) {
    for (int i = 1; i <= 12; ++i) {
        putF32(data_, kKaluInputs + 4 * static_cast<std::size_t>(i - 1), kaluInput(i, nowMs));
    }
}

// W0 holds the raw input bits, W1 the filtered ones (the same bits 100 ms late), as the
// windows' "Filtrovaný vstup" reads W1. Set 0 counts rising edges, set 1 the seconds each input
// has been on, set 2 the seconds it has been off.
void Module::refreshTev(std::int64_t nowMs, std::size_t setBase, int inputs) {
    putU16(data_, 0, inputWord(nowMs, inputs));
    putU16(data_, 2, inputWord(nowMs > 100 ? nowMs - 100 : 0, inputs));
    const auto seconds = static_cast<std::uint16_t>((nowMs / 1000) % kCounterWrap);
    for (int n = 1; n <= inputs; ++n) {
        const std::size_t at = setBase + 2 * static_cast<std::size_t>(n - 1);
        const std::uint16_t edges = risingEdges(n, nowMs);
        putU16(data_, at, edges);
        putU16(data_, at + 32, static_cast<std::uint16_t>(seconds / 2));
        putU16(data_, at + 64, static_cast<std::uint16_t>(seconds - seconds / 2));
    }
}

// Piggy k (0..7), input n (1..8) behaves like binary input 8 * k + n. The state bytes: the raw
// bits of the eight piggies, then their filtered bits.
void Module::refreshMokr(std::int64_t nowMs) {
    for (int k = 0; k < 8; ++k) {
        std::uint8_t raw = 0;
        std::uint8_t filtered = 0;
        for (int n = 1; n <= 8; ++n) {
            const int input = 8 * k + n;
            if (inputState(input, nowMs)) raw = static_cast<std::uint8_t>(raw | (1u << (n - 1)));
            if (inputState(input, nowMs > 100 ? nowMs - 100 : 0)) {
                filtered = static_cast<std::uint8_t>(filtered | (1u << (n - 1)));
            }
            const std::size_t word = kMokrCounters + 16 * static_cast<std::size_t>(k) +
                                     2 * static_cast<std::size_t>(n - 1);
            putU16(data_, word, risingEdges(input, nowMs));
            putU16(data_, word + 0x80, static_cast<std::uint16_t>((nowMs / 1000) % kCounterWrap));
            putU16(data_, word + 0x100, static_cast<std::uint16_t>(input));
        }
        data_[static_cast<std::size_t>(k)] = raw;
        data_[8 + static_cast<std::size_t>(k)] = filtered;
    }
}

}  // namespace velor::modsim
