#pragma once
// The transfer engine's view of the channel table: ChannelIo over a ChannelState.

#include <functional>

#include "comm/ChannelIo.h"
#include "comm/ChannelState.h"

namespace velor {

class ChannelTableIo : public ChannelIo {
public:
    // reopenFailed, when given, runs after a reopen that ended with TransferResult -2; the
    // window layer uses it to show its error message (the channel layer shows none).
    explicit ChannelTableIo(ChannelState& state, std::function<void()> reopenFailed = {});

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
    ChannelState& state_;
    std::function<void()> reopenFailed_;
};

}  // namespace velor
