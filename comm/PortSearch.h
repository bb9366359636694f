#pragma once
// Waiting while the user interface stays alive, and the search of the serial ports COM1..COM9
// that the configuration editors offer.

#include <cstdint>
#include <functional>
#include <string>

#include "comm/ChannelState.h"

namespace velor {

// Waits more than ms milliseconds, processing the application's events meanwhile (timers of
// other windows may run inside). Without an application object it only sleeps.
void WaitMs(std::uint16_t ms);

using WaitFunction = std::function<void(std::uint16_t ms)>;
using StatusFunction = std::function<void(const std::string& text)>;

// Pause before each probe; the search of nine ports therefore takes at least 3.6 s.
inline constexpr std::uint16_t kPortSearchWaitMs = 400;

// Probes COM1..COM9 in turn: shows "Vyhledávám: COMn" through showStatus (UTF-8), waits,
// and tries an exclusive open of the port through the resolver. Every port that opens is
// added to choiceText as "COM n" followed by the byte 0x01 (the item-list form of a choice
// field) and to FoundPorts as "COMn"; choiceText ends with one byte 0x00. FoundPorts holds
// exactly the ports found. Clears PortSearchPending. wait is WaitMs unless a test gives
// another.
void SearchPorts(ChannelState& state, std::string& choiceText, const StatusFunction& showStatus,
                 const WaitFunction& wait = WaitMs);

}  // namespace velor
