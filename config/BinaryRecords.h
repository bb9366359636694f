#pragma once
// Records of the binary modules (TEV, TEW, TEVW): the per-input configuration, the whole
// configuration and the parameter block in the form the modules take it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velor {

inline constexpr std::size_t kBinaryInputCount = 64;

struct BinaryInput {
    static constexpr std::size_t kSize = 40;
    static constexpr std::size_t kNameChars = 30;

    std::string Name;  // code page 1250, at most 30 characters
    std::int32_t FilterL = 0;
    std::int32_t FilterH = 0;

    void decode(std::span<const std::uint8_t, kSize> bytes);
    void encode(std::span<std::uint8_t, kSize> bytes) const;
};

struct BinaryConfig {
    static constexpr std::size_t kSize = 2568;

    std::array<BinaryInput, kBinaryInputCount> Inputs{};
    std::int32_t ModuleAddress = 0;
    std::uint8_t SavedPortNumber = 0;
    std::uint16_t SavedBaudIndex = 0;

    void decode(std::span<const std::uint8_t, kSize> bytes);
    void encode(std::span<std::uint8_t, kSize> bytes) const;
};

struct BinaryImage {
    static constexpr std::size_t kSize = 136;

    std::uint8_t ResponseDelay = 0;
    std::uint8_t BaudCode = 0;
    std::uint16_t CommTimeout = 0;
    std::array<std::uint8_t, 4> Tag{};
    std::array<std::uint8_t, kBinaryInputCount> FilterH{};  // inputs 1..64 at index 0..63
    std::array<std::uint8_t, kBinaryInputCount> FilterL{};

    void decode(std::span<const std::uint8_t, kSize> bytes);
    void encode(std::span<std::uint8_t, kSize> bytes) const;
    std::array<std::uint8_t, kSize> toBytes() const;
};

// A ".cfb" file: the configuration followed directly by the image.
inline constexpr std::size_t kBinaryFileSize = BinaryConfig::kSize + BinaryImage::kSize;

static_assert(BinaryInput::kSize == 40);
static_assert(BinaryInput::kSize * kBinaryInputCount + 8 == BinaryConfig::kSize);
static_assert(BinaryConfig::kSize == 2568);
static_assert(BinaryImage::kSize == 8 + 2 * kBinaryInputCount);
static_assert(kBinaryFileSize == 2704);

}  // namespace velor
