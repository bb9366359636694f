#pragma once
// State of the main window's polling loop: its one request with the status text and the data
// area behind it, the address scan and the configuration-send sequencing. The application
// owns one instance; the main window and its tests work on it by reference.

#include <array>
#include <cstdint>
#include <string>

#include "comm/RequestKind.h"
#include "comm/TransferRequest.h"
#include "config/ModuleHelpers.h"
#include "modules/AnswerObserver.h"
#include "modules/LoopWrite.h"

namespace velor {

// MonitoredKind when no unit window is watched: the loop probes the bus addresses instead.
inline constexpr RequestKind kMonitoredNone = RequestKind::Probe;
inline constexpr std::uint16_t kDefaultPollInterval = 100;
inline constexpr std::size_t kStatusTextChars = 51;
inline constexpr std::size_t kZepaImageBytes = 24;

struct MainLoopState {
    MainLoopState() { MainRequest.Buffer = Data; }
    // MainRequest.Buffer points into Data: the record never moves or copies.
    MainLoopState(const MainLoopState&) = delete;
    MainLoopState& operator=(const MainLoopState&) = delete;

    bool ReopenPending = false;
    TransferRequest MainRequest;
    std::string StatusText;  // UTF-8, at most 51 characters
    std::array<std::uint8_t, kBufferSize> Data{};

    // False until a configuration editor has been closed: the loop does not poll before.
    bool ChannelReady = false;
    // Kind of the unit window opened last (0..4), kMonitoredNone when none is open.
    RequestKind MonitoredKind = kMonitoredNone;
    std::uint16_t PollInterval = kDefaultPollInterval;
    std::int32_t ScanAddress = 0;
    std::array<bool, kBusAddressCount> AddressFound{};

    // Configuration send sequencing.
    bool KaluSecondHalf = false;
    bool LastBlockSent = false;
    std::array<std::uint8_t, kZepaImageBytes> ZepaImage{};

    // An editor closed while MainRequest was still with the engine: the outcome of that run
    // belongs to nobody and is dropped when it arrives, before the record is reused.
    bool AbandonedRun = false;

    // Listener of the monitoring answers; none unless the value recording is open.
    AnswerObserver AnswerObserved;

    // What the request in flight writes (set when it is built), and the write log's listener,
    // told when the request has ended, before its outcome is shown.
    LoopWrite Sent;
    WriteObserver WriteObserved;
};

}  // namespace velor
