#pragma once
// Small operations that the main window, the unit windows and the editors share.

#include <cstdint>
#include <span>

namespace velor {

inline constexpr std::size_t kBusAddressCount = 32;

// Restarts the module address scan at address 0 with no module found.
void ResetAddressScan(std::int32_t& scanAddress, std::span<bool, kBusAddressCount> addressFound);

// At 4800 Bd (baud index 0) the module answers slower: reply time-out and poll interval are
// tripled (held at 65535). Any other index changes nothing.
void AdjustTimeoutsForBaud(std::uint16_t& replyTimeout, std::uint16_t& pollInterval,
                           std::uint16_t baudIndex);

}  // namespace velor
