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

// Bit n-1 of the word, n = 1..16; false for any other n.
bool TestBit(std::uint16_t word, int n);

// Whether the word has a bit in common with the mask of input n (1..16; false for any other n).
// The gapped layout (GappedInputLayout of the unit window selections, set at start and toggled
// by the TEW window) skips bits 3, 7 and 11 and maps inputs 13..16 all to bit 15.
bool TestInputBit(std::uint16_t word, int n, bool gappedInputLayout);

}  // namespace velor
