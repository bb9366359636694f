#pragma once
// Module-wide state of the transfer engine: the request queue, the kind of request being built,
// the step time-out of the program's requests and the TCP failure bookkeeping.

#include <array>
#include <cstdint>

#include "comm/RequestKind.h"
#include "comm/TransferRequest.h"

namespace velor {

class TrafficTap;
class TransferRun;
class TransferWindowFactory;

inline constexpr int kQueueSlots = 15;

struct EngineState {
    // Slots 1..15 at indexes 0..14; slot 1 is the running request.
    std::array<TransferRequest*, kQueueSlots> RequestQueue{};
    std::int32_t RequestCount = 0;
    velor::RequestKind RequestKind = RequestKind::Kalu;
    std::uint16_t ReplyTimeout = 200;
    std::int32_t StepStartTick = 0;
    std::int32_t TcpFailCount = 0;
    double TcpLastFailTime = 0.0;  // days, see Clock::nowDays
    // The step machine of the running request's transfer window; null when none runs.
    TransferRun* TransferWindow = nullptr;
    // Creates the transfer window of a started request (set by the application or a test).
    TransferWindowFactory* Windows = nullptr;
    // Told how every attempt starts and ends, when the traffic monitor records; not owned.
    TrafficTap* Tap = nullptr;
    // After an attempt timed out, an answer that starts within one more of its time-out is that
    // attempt's late answer: the next attempt is not sent before LateSpanEnd (a tick count).
    bool LateSpanOpen = false;
    std::uint32_t LateSpanEnd = 0;
    std::uint16_t LateSpanMs = 0;

    TransferRequest*& slot(int index) {
        return RequestQueue.at(static_cast<std::size_t>(index - 1));
    }
};

}  // namespace velor
