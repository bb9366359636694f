#pragma once
// The head that both parameter blocks, the analog and the binary image, start with. The sends
// write the tag and the baud code into it; the ZEPA block copies the delay and the time-out.

#include <cstddef>

namespace velor {

inline constexpr std::size_t kImageDelayAt = 0;     // response delay, one byte
inline constexpr std::size_t kImageBaudCodeAt = 1;  // baud code, one byte
inline constexpr std::size_t kImageTimeoutAt = 2;   // communication time-out, a word
inline constexpr std::size_t kImageTagAt = 4;       // four bytes; "save" makes the module keep it
inline constexpr std::size_t kImageHeadSize = 8;    // the per-input fields follow

}  // namespace velor
