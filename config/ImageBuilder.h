#pragma once
// Builds the parameter blocks that the modules take from the configurations.

#include <array>
#include <cstdint>

#include "config/ConfigState.h"

namespace velor {

// The module's baud code for each BaudIndex 0..4 (4800 .. 57600 Bd).
inline constexpr std::array<std::uint8_t, 5> BaudCodes{4, 9, 19, 38, 57};
inline constexpr std::uint8_t kDefaultBaudCode = 19;

// The code for a baud index; 19 when the index is above 4.
std::uint8_t baudCodeFor(std::uint16_t baudIndex);

// Limits, filters and polynomial constants of every input, the baud code of channel 1's baud
// index and the tag. ResponseDelay and CommTimeout are the editor's and stay as they are.
void BuildAnalogImage(ConfigState& state, std::uint16_t baudIndex);
void BuildBinaryImage(ConfigState& state, std::uint16_t baudIndex);

// The low limit that makes the signal value ZeroSuppression show as LowLimit.
float imageLowLimit(const AnalogInput& input, float rangeHigh);

}  // namespace velor
