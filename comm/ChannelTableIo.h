#pragma once
// The transfer engine's view of the channel table: ChannelIo over a ChannelState.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "comm/ChannelIo.h"
#include "comm/ChannelState.h"
#include "comm/Clock.h"

namespace velor {

// A serial device that disappeared is looked for again this often while requests keep coming.
inline constexpr std::uint32_t kLostPortRetryMs = 2000;

class ChannelTableIo : public ChannelIo {
public:
    // reopenFailed, when given, runs after a reopen that ended with TransferResult -2; the
    // window layer uses it to show its error message (the channel layer shows none).
    explicit ChannelTableIo(ChannelState& state, std::function<void()> reopenFailed = {});

    // The clock that paces the attempts to open a lost port again (the engine's clock); a
    // system clock of its own until one is given.
    void setClock(Clock& clock) { clock_ = &clock; }

    bool isTcp(int channel) const override;
    bool isUsable(int channel) override;
    bool ignoreLineErrors(int channel) const override;
    int read(int channel, std::uint8_t* buffer, int count) override;
    int write(int channel, const std::uint8_t* buffer, int count) override;
    bool transmitByte(int channel, std::uint8_t byte) override;
    LineState lineState(int channel) override;
    TcpStatus tcpState(int channel) override;
    int reopen() override;

private:
    bool retryLostPort(int channel);

    ChannelState& state_;
    std::function<void()> reopenFailed_;
    SystemClock ownClock_;
    Clock* clock_ = &ownClock_;
    // When the last attempt to open a lost port again was made, by channel.
    std::array<std::optional<std::uint32_t>, kChannelCount> lastRetryMs_{};
};

}  // namespace velor
