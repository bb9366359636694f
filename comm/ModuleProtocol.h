#pragma once
// The module application layer inside a frame's user data: address, prefix, application code,
// request code, then item descriptors (area, ...). The request builders write these bytes and
// the traffic monitor reads them back.

#include <cstdint>

namespace velor {

inline constexpr std::uint8_t kPrefix = 0x40;
inline constexpr std::uint8_t kApplication = 0x6C;
inline constexpr std::uint8_t kZepaApplication = 0x63;
inline constexpr std::uint8_t kProbeApplication = 0x69;
inline constexpr std::uint8_t kRead = 0x0B;
inline constexpr std::uint8_t kWrite = 0x0C;
inline constexpr std::uint8_t kReadWrite = 0x0D;
inline constexpr std::uint8_t kMonitorArea = 2;
inline constexpr std::uint8_t kConfigArea = 1;

}  // namespace velor
