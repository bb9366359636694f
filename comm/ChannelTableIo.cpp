#include "comm/ChannelTableIo.h"

#include <utility>

#include "comm/Channel.h"
#include "comm/TcpLink.h"

namespace velor {

ChannelTableIo::ChannelTableIo(ChannelState& state, std::function<void()> reopenFailed)
    : state_(state), reopenFailed_(std::move(reopenFailed)) {}

bool ChannelTableIo::isTcp(int channel) const {
    return IsTcpChannel(state_, channel);
}

bool ChannelTableIo::isUsable(int channel) {
    if (IsTcpChannel(state_, channel)) return true;
    if (!isValidChannel(channel)) return false;
    if (dropLostPort(state_, channel)) return retryLostPort(channel);
    lastRetryMs_[static_cast<std::size_t>(channel - 1)].reset();
    return channelSerialPort(state_, channel) != nullptr;
}

// The first attempt comes one period after the loss was seen, then one per period; every
// request in between ends at once as on a port that could not be opened.
bool ChannelTableIo::retryLostPort(int channel) {
    auto& last = lastRetryMs_[static_cast<std::size_t>(channel - 1)];
    const std::uint32_t now = clock_->tickMs();
    if (!last) {
        last = now;
        return false;
    }
    if (now - *last < kLostPortRetryMs) return false;
    last = now;
    if (!reopenLostPort(state_, channel)) return false;
    last.reset();
    return true;
}

bool ChannelTableIo::ignoreLineErrors(int channel) const {
    const PortRecord* record = state_.ChannelTable.record(channel);
    return record != nullptr && record->IgnoreLineErrors != 0;
}

int ChannelTableIo::read(int channel, std::uint8_t* buffer, int count) {
    return ReadChannel(state_, channel, buffer, count);
}

int ChannelTableIo::write(int channel, const std::uint8_t* buffer, int count) {
    return WriteChannel(state_, channel, buffer, count);
}

bool ChannelTableIo::transmitByte(int channel, std::uint8_t byte) {
    SerialPort* port = channelSerialPort(state_, channel);
    if (port == nullptr) return false;
    const bool sent = port->transmitByte(byte);
    dropLostPort(state_, channel);
    return sent;
}

LineState ChannelTableIo::lineState(int channel) {
    SerialPort* port = channelSerialPort(state_, channel);
    if (port == nullptr) return LineState{};
    const LineState line = port->lineState();
    dropLostPort(state_, channel);
    return line;
}

TcpStatus ChannelTableIo::tcpState(int channel) {
    if (state_.tcp == nullptr || !isValidChannel(channel)) return TcpStatus{};
    return state_.tcp->TcpState(channel);
}

int ChannelTableIo::reopen() {
    const std::int32_t result = ReopenChannel(state_);
    if (result == kOpenFailed && reopenFailed_) reopenFailed_();
    return result;
}

}  // namespace velor
