#pragma once
// Records of the analog (KALU) module: the per-input configuration, the whole configuration and
// the parameter block in the form the module takes it. Each record is read from and written to
// its byte image at fixed little-endian offsets; texts stay code page 1250 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velor {

inline constexpr std::size_t kAnalogInputCount = 12;

struct AnalogInput {
    static constexpr std::size_t kSize = 80;
    static constexpr std::size_t kNameChars = 30;
    static constexpr std::size_t kSensorNameChars = 18;

    std::string Name;  // code page 1250, at most 30 characters
    std::int32_t Decimals = 0;
    std::int32_t FilterConstant = 0;
    float LowLimit = 0.0f;
    float HighLimit = 0.0f;
    float Offset = 0.0f;
    float ZeroSuppression = 0.0f;
    std::int32_t SensorIndex = 0;
    std::string SensorName;  // code page 1250, at most 18 characters

    void decode(std::span<const std::uint8_t, kSize> bytes);
    void encode(std::span<std::uint8_t, kSize> bytes) const;
};

struct AnalogConfig {
    static constexpr std::size_t kSize = 972;

    std::array<AnalogInput, kAnalogInputCount> Inputs{};
    std::int32_t ModuleAddress = 0;
    std::uint8_t SavedPortNumber = 0;
    std::uint16_t SavedBaudIndex = 0;
    std::uint8_t Variant = 0;  // 1 = variant 12, anything else variant 11

    void decode(std::span<const std::uint8_t, kSize> bytes);
    void encode(std::span<std::uint8_t, kSize> bytes) const;
};

// The block sent to the module; the request builders send its bytes as they stand.
struct AnalogImage {
    static constexpr std::size_t kSize = 320;

    std::uint8_t ResponseDelay = 0;
    std::uint8_t BaudCode = 0;
    std::uint16_t CommTimeout = 0;
    std::array<std::uint8_t, 4> Tag{};
    std::array<float, kAnalogInputCount> LowLimit{};
    std::array<float, kAnalogInputCount> HighLimit{};
    std::array<std::uint16_t, kAnalogInputCount> Filter{};
    std::array<float, kAnalogInputCount> D{};
    std::array<float, kAnalogInputCount> C{};
    std::array<float, kAnalogInputCount> B{};
    std::array<float, kAnalogInputCount> A{};

    void decode(std::span<const std::uint8_t, kSize> bytes);
    void encode(std::span<std::uint8_t, kSize> bytes) const;
    std::array<std::uint8_t, kSize> toBytes() const;
};

// A ".cfa" file: the configuration followed directly by the image.
inline constexpr std::size_t kAnalogFileSize = AnalogConfig::kSize + AnalogImage::kSize;

static_assert(AnalogInput::kSize == 80);
static_assert(AnalogInput::kSize * kAnalogInputCount + 12 == AnalogConfig::kSize);
static_assert(AnalogConfig::kSize == 972);
static_assert(AnalogImage::kSize == 8 + 12 * (4 + 4 + 2 + 4 + 4 + 4 + 4));
static_assert(kAnalogFileSize == 1292);

}  // namespace velor
