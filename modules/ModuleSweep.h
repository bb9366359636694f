#pragma once
// The module finder's sweep: the address probe, one attempt, at every address of a range at
// every chosen line setting, through channel 1 and the transfer engine. No widget and no
// timer: the caller calls step() from its own 10 ms timer or wait loop.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/CommState.h"

namespace velor {

// The receive step starts once the request has left the port, so a module with the default
// response delay of 20 ms answers within 22.3 ms at 4800 Bd (20 ms delay, 2.3 ms for E5);
// 30 ms leaves it room. With the engine's 10 ms ticks an absent address costs about 30 ms
// plus three or four ticks, so 32 x 5 x 2 probes take about 320 x 60..75 ms = 19..24 s
// (velor-bench measures 23.8 s on a pseudo-terminal).
inline constexpr std::uint16_t kDefaultProbeTimeoutMs = 30;

struct SweepSettings {
    std::vector<std::uint16_t> baudIndexes{0, 1, 2, 3, 4};  // BaudRates indexes, in this order
    std::vector<bool> noParity{false, true};                // even first, then none
    int from = 0;
    int to = 31;
    std::uint16_t timeoutMs = kDefaultProbeTimeoutMs;
};

struct SweepPoint {
    int address = 0;
    std::uint16_t baudIndex = 0;
    bool noParity = false;
    bool operator==(const SweepPoint&) const = default;
};

enum class AnswerKind { Ack, Frame, ShortFrame, WrongReply };

struct SweepAnswer {
    SweepPoint point;
    AnswerKind kind = AnswerKind::Ack;
};

// "E5", "frame", "short frame", "wrong reply".
std::string answerKindText(AnswerKind kind);

// Whether the same address answered at the same baud rate with the other parity as well. A
// line that carries no parity (a pseudo-terminal, an adapter that ignores it) lets a module
// answer at both, and then the answers cannot tell its parity.
bool answeredAtBothParities(const std::vector<SweepAnswer>& answers, std::size_t index);

// The probes in the order they are sent: parity by parity, within it baud rate by baud rate,
// within that address by address, so the port is reopened once per line setting.
std::vector<SweepPoint> sweepOrder(const SweepSettings& settings);

class ModuleSweep {
public:
    // Uses channel 1 of comm; the caller has stopped the loop and given the channel over.
    // The record's port stays; baud rate and parity are changed per setting and put back
    // by finish(). On TCP (port 0) only the addresses are swept, at the record's settings.
    ModuleSweep(CommState& comm, SweepSettings settings);
    ~ModuleSweep();
    ModuleSweep(const ModuleSweep&) = delete;
    ModuleSweep& operator=(const ModuleSweep&) = delete;

    // Collects the probe that ended and starts the next; false once the sweep is over.
    bool step();
    // Stops: no further probe is started; the one running ends within its time-out.
    void abort();
    bool finished() const { return finished_; }
    bool aborted() const { return aborted_; }
    // The port went away during the sweep (an adapter pulled, a device that vanished): the
    // sweep ended there, and the answers are those found before.
    bool portLost() const { return portLost_; }
    // Puts channel 1's baud rate, parity and the engine's time-out back and closes the port.
    void finish();

    int done() const { return next_; }
    int total() const { return static_cast<int>(order_.size()); }
    // Estimated time left: every remaining probe costing its time-out and two ticks.
    int msLeft() const;
    const std::vector<SweepAnswer>& answers() const { return answers_; }
    // Probes of a setting whose port would not open are skipped and counted here.
    int unopenedSettings() const { return unopened_; }

private:
    bool running() const;
    void collect();
    bool startNext();
    bool useSetting(const SweepPoint& point);

    CommState& comm_;
    SweepSettings settings_;
    std::vector<SweepPoint> order_;
    std::vector<SweepAnswer> answers_;
    TransferRequest request_;
    std::array<std::uint8_t, kBufferSize> data_{};
    int next_ = 0;
    int current_ = -1;
    bool haveSetting_ = false;
    bool settingOpen_ = false;
    SweepPoint setting_;
    bool finished_ = false;
    bool aborted_ = false;
    bool portLost_ = false;
    bool openedOnce_ = false;
    bool restored_ = false;
    int unopened_ = 0;
    std::uint16_t oldBaudIndex_ = 0;
    std::uint8_t oldNoParity_ = 0;
    std::uint16_t oldTimeout_ = 0;
    RequestKind oldKind_ = RequestKind::Probe;
};

}  // namespace velor
